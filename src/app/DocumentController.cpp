#include "app/DocumentController.h"

#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "window/DocumentWindow.h"

#include <QFileInfo>
#include <QMessageBox>

namespace pintora {

namespace {
void showErrorBox(const QString& title, const QString& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pintora"), title);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
} // namespace

DocumentController::DocumentController(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults), reportError_(showErrorBox) {}

QList<DocumentWindow*> DocumentController::windows() const {
    QList<DocumentWindow*> open;
    for (const auto& window : windows_)
        if (window) open.append(window);
    return open;
}

DocumentWindow* DocumentController::addWindow(DocumentWindow* window) {
    windows_.append(window);
    window->show();
    return window;
}

DocumentWindow* DocumentController::newDocument() {
    return addWindow(new DocumentWindow(new PintoraDocument(defaults_.defaultURL()), QString()));
}

DocumentWindow* DocumentController::openFile(const QString& path) {
    const QString canonical = QFileInfo(path).absoluteFilePath();
    for (DocumentWindow* window : windows()) {
        if (window->filePath() == canonical) {
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    auto* document = new PintoraDocument(defaults_.defaultURL());
    const QString error = document->readFromFile(canonical);
    if (!error.isEmpty()) {
        delete document;
        reportError_(tr("The document “%1” could not be opened.").arg(QFileInfo(path).fileName()),
                     error);
        return nullptr;
    }
    return addWindow(new DocumentWindow(document, canonical));
}

} // namespace pintora
