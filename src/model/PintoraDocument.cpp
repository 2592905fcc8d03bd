#include "model/PintoraDocument.h"

#include "model/DocumentFile.h"

namespace pintora {

PintoraDocument::PintoraDocument(const QString& newTabURL, QObject* parent)
    : QObject(parent), newTabURL_(newTabURL), state_(CanvasState::makeNew(newTabURL)) {}

void PintoraDocument::setState(CanvasState state) {
    emit stateAboutToChange();
    state_ = std::move(state);
    emit stateChanged();
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
