#include "app/ui/DocumentController.h"

#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "window/ui/DocumentWindow.h"

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
    windows_.removeAll(nullptr);
    windows_.append(window);
    // A closed window waits for deletion, but its document is no longer open.
    connect(window, &DocumentWindow::closed, this, [this, window] { windows_.removeAll(window); });
    emit windowAdded(window);
    window->show();
    return window;
}

DocumentWindow* DocumentController::newDocument() {
    return addWindow(new DocumentWindow(new PintoraDocument(defaults_.defaultURL()), QString(),
                                        defaults_, clipboard_));
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
    return addWindow(new DocumentWindow(document, canonical, defaults_, clipboard_));
}

DocumentWindow* DocumentController::openDraft(const QString& path) {
    auto* document = new PintoraDocument(defaults_.defaultURL());
    const QString error = document->readFromFile(path);
    if (!error.isEmpty()) {
        delete document;
        reportError_(tr("An unsaved document could not be reopened. Its draft stays in “%1”.")
                         .arg(QFileInfo(path).absolutePath()),
                     error);
        return nullptr;
    }
    auto* window = new DocumentWindow(document, QString(), defaults_, clipboard_);
    window->adoptDraft(path);
    return addWindow(window);
}

} // namespace pintora
