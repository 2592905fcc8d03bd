#pragma once

#include "model/CanvasState.h"

#include <QObject>
#include <QUndoStack>
#include <functional>

namespace pintora {

// The document object of one window: owns the published state and reads and writes its file.
class PintoraDocument : public QObject {
    Q_OBJECT
public:
    // A new, untitled document whose one tab starts at `newTabURL`.
    explicit PintoraDocument(const QString& newTabURL, QObject* parent = nullptr);

    const CanvasState& state() const { return state_; }
    // Announces the change to observers, then stores the new value.
    void setState(CanvasState state);

    // A copy to save from, so that edits made during a save do not reach the file.
    CanvasState snapshot() const { return state_; }

    // The document's undo history; the document counts as edited while it is not clean.
    QUndoStack* undoStack() { return &undoStack_; }
    const QUndoStack* undoStack() const { return &undoStack_; }
    bool isEdited() const { return !undoStack_.isClean(); }

    using Mutation = std::function<void(CanvasState&)>;
    // The one way to change the state with undo: runs the mutation, announces the change and
    // registers one step holding the whole state before and after under `actionName`. Without
    // a stack the change is made all the same and nothing is registered.
    void apply(QUndoStack* stack, const QString& actionName, const Mutation& mutation);
    // Registers one step from `before` to the current state without changing anything: how a
    // live gesture (a move, a resize, typing) ends after writing into the state as it ran.
    void registerStep(QUndoStack* stack, const QString& actionName, const CanvasState& before);

    // Replaces the state with the file's on success; on failure returns why and keeps the state.
    QString readFromFile(const QString& path);
    // Writes a snapshot atomically; returns why it failed, or an empty string.
    QString writeToFile(const QString& path) const;

signals:
    void stateChanged();

private:
    QString newTabURL_;
    CanvasState state_;
    QUndoStack undoStack_;
};

} // namespace pintora
