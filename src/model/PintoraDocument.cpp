#include "model/PintoraDocument.h"

#include "model/DocumentFile.h"

namespace pintora {

PintoraDocument::PintoraDocument(const QString& newTabURL, QObject* parent)
    : QObject(parent), newTabURL_(newTabURL), state_(CanvasState::makeNew(newTabURL)) {}

void PintoraDocument::setState(CanvasState state) {
    state_ = std::move(state);
    emit stateChanged();
}

namespace {
// Undoing or redoing sets the whole state back or forth; pictures are shared, not copied.
class StateStep : public QUndoCommand {
public:
    StateStep(PintoraDocument* document, const QString& name, CanvasState before, CanvasState after)
        : QUndoCommand(name), document_(document), before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override { document_->setState(before_); }
    void redo() override {
        // The first redo comes from push(), after the change was already made.
        if (pushed_) document_->setState(after_);
        pushed_ = true;
    }

private:
    PintoraDocument* document_;
    CanvasState before_;
    CanvasState after_;
    bool pushed_ = false;
};
} // namespace

void PintoraDocument::apply(QUndoStack* stack, const QString& actionName,
                            const Mutation& mutation) {
    CanvasState before = state_;
    mutation(state_);
    emit stateChanged();
    if (stack) stack->push(new StateStep(this, actionName, std::move(before), state_));
}

void PintoraDocument::registerStep(QUndoStack* stack, const QString& actionName,
                                   const CanvasState& before) {
    if (stack) stack->push(new StateStep(this, actionName, before, state_));
}

QString PintoraDocument::readFromFile(const QString& path) {
    auto read = readDocumentFile(path, newTabURL_);
    if (!read) return read.error();
    setState(std::move(read).value());
    return QString();
}

QString PintoraDocument::writeToFile(const QString& path) const {
    return writeDocumentFile(path, snapshot());
}

} // namespace pintora
