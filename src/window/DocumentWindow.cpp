#include "window/DocumentWindow.h"

#include "model/PintoraDocument.h"

#include <QFileInfo>
#include <QTabWidget>

namespace pintora {

namespace {
constexpr QSize defaultWindowSize{1280, 800};
}

DocumentWindow::DocumentWindow(PintoraDocument* document, const QString& filePath, QWidget* parent)
    : QMainWindow(parent), document_(document), filePath_(filePath), tabs_(new QTabWidget(this)) {
    document_->setParent(this);
    setAttribute(Qt::WA_DeleteOnClose);
    tabs_->addTab(new QWidget, tr("Capture"));
    tabs_->addTab(new QWidget, tr("Annotate"));
    tabs_->setDocumentMode(true);
    setCentralWidget(tabs_);
    resize(defaultWindowSize);
    updateTitle();
    connect(document_->undoStack(), &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });
}

void DocumentWindow::updateTitle() {
    // "[*]" is where Qt shows the modified marker.
    const QString name = filePath_.isEmpty() ? tr("Untitled") : QFileInfo(filePath_).fileName();
    setWindowTitle(name + QStringLiteral("[*]"));
}

} // namespace pintora
