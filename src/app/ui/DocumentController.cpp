#include "app/ui/DocumentController.h"

#include "app/Drafts.h"
#include "app/Recovery.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "window/ui/DocumentWindow.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace pintora {

namespace {
void showErrorBox(const QString& title, const QString& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pintora"), title);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void askWhichToKeep(DocumentWindow* window, std::function<void(bool)> answer) {
    auto* box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Pintora"),
        DocumentController::tr("“%1” changed on disk after Pintora kept your unsaved changes to it.")
            .arg(window->displayName()),
        QMessageBox::NoButton, window);
    box->setInformativeText(DocumentController::tr(
        "Keep the changes Pintora recovered, or open the file as it is on disk now?"));
    QPushButton* keep =
        box->addButton(DocumentController::tr("Keep Recovered Changes"), QMessageBox::AcceptRole);
    box->addButton(DocumentController::tr("Use the File on Disk"), QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, window,
                     [box, keep, answer] { answer(box->clickedButton() == keep); });
    box->open();
}
} // namespace

DocumentController::DocumentController(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults), reportError_(showErrorBox),
      draftsDirectory_(drafts::directory()), askRecovery_(askWhichToKeep) {}

QList<DocumentWindow*> DocumentController::windows() const {
    QList<DocumentWindow*> open;
    for (const auto& window : windows_)
        if (window) open.append(window);
    return open;
}

DocumentWindow* DocumentController::makeWindow(PintoraDocument* document, const QString& filePath) {
    auto* window = new DocumentWindow(document, filePath, defaults_, clipboard_);
    window->setDraftsDirectory(draftsDirectory_);
    return window;
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
    return addWindow(makeWindow(new PintoraDocument(defaults_.defaultURL()), QString()));
}

DocumentWindow* DocumentController::windowOf(const QString& path) const {
    for (DocumentWindow* window : windows())
        if (window->refersTo(path)) return window;
    return nullptr;
}

DocumentWindow* DocumentController::openFile(const QString& path) {
    if (DocumentWindow* open = windowOf(path)) {
        open->raise();
        open->activateWindow();
        return open;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    auto* document = new PintoraDocument(defaults_.defaultURL());
    const QString error = document->readFromFile(absolute);
    if (!error.isEmpty()) {
        delete document;
        reportError_(tr("The document “%1” could not be opened.").arg(QFileInfo(path).fileName()),
                     error);
        return nullptr;
    }
    return addWindow(makeWindow(document, absolute));
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
    const std::optional<RecoveryNote> note = recovery::readNote(path);
    // The unsaved changes of a titled document go back into its window, marked edited: Save
    // writes them to the file, which nothing has touched until then.
    DocumentWindow* window = makeWindow(document, note ? note->file : QString());
    window->adoptDraft(path);
    addWindow(window);
    if (!note) return window;
    if (!note->failedSave.isEmpty()) {
        reportError_(tr("“%1” could not be saved when Pintora quit.").arg(window->displayName()),
                     tr("%1\n\nIts changes were kept and are open again: save them, or use "
                        "Save As to keep them elsewhere.")
                         .arg(note->failedSave));
    } else if (note->fileChangedSince()) {
        QPointer<DocumentWindow> asked(window);
        askRecovery_(window, [asked](bool keepRecovered) {
            if (asked && !keepRecovered) asked->revertToSaved();
        });
    }
    return window;
}

} // namespace pintora
