#pragma once

#include "model/CanvasState.h"

#include <QObject>

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

    // Replaces the state with the file's on success; on failure returns why and keeps the state.
    QString readFromFile(const QString& path);
    // Writes a snapshot atomically; returns why it failed, or an empty string.
    QString writeToFile(const QString& path) const;

signals:
    void stateAboutToChange();
    void stateChanged();

private:
    QString newTabURL_;
    CanvasState state_;
};

} // namespace pintora
