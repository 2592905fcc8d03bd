#include "app/ui/PintoraApp.h"

#include "app/Drafts.h"
#include "app/Recovery.h"
#include "app/ui/AppMenus.h"
#include "app/ui/SettingsView.h"
#include "capture/AppPresetsStore.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "platform/ui/AccessibleNames.h"
#include "platform/ui/ReturnPressesButtons.h"
#include "window/ui/DocumentWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace pintora {

PintoraApp::PintoraApp(UserDefaults& defaults, const QString& version, QObject* parent)
    : QObject(parent), defaults_(defaults), documents_(defaults), updater_(defaults, version),
      draftsDirectory_(drafts::directory()) {
    new AccessibleNames(this);
    new ReturnPressesButtons(this);
    connect(&documents_, &DocumentController::windowAdded, this, &PintoraApp::installMenus);
}

PintoraApp::~PintoraApp() {
    delete settings_;
    for (DocumentWindow* window : documents_.windows())
        delete window;
}

void PintoraApp::installMenus(DocumentWindow* window) {
    AppMenus::install(window, *this);
}

void PintoraApp::launch(const QStringList& files) {
    restoreDraftsIfAny();
    for (const QString& file : files)
        documents_.openFile(file);
    // No dock icon to click here: launching is the reopen request.
    if (documents_.windows().isEmpty() && files.isEmpty()) documents_.newDocument();
}

bool PintoraApp::restoreDraftsIfAny() {
    recovery::removeStrayNotes(draftsDirectory_);
    const QStringList found = drafts::list(draftsDirectory_);
    for (const QString& path : found)
        documents_.openDraft(path);
    return !found.isEmpty();
}

void PintoraApp::reopen() {
    const auto windows = documents_.windows();
    for (DocumentWindow* window : windows) {
        if (window->isVisible()) {
            window->raise();
            window->activateWindow();
            return;
        }
    }
    documents_.newDocument();
}

QStringList PintoraApp::saveAllDirtyForQuit() {
    QStringList failures;
    for (DocumentWindow* window : documents_.windows()) {
        window->takeInWhatIsShown();
        if (!window->isEdited()) {
            window->forgetDraftIfNothingUnsaved();
            continue;
        }
        QString error;
        if (window->filePath().isEmpty()) {
            error = window->writeDraft();
        } else {
            error = window->document()->writeToFile(window->filePath());
            if (error.isEmpty()) {
                window->removeDraft();
            } else {
                // Its own file cannot be written (read-only, its folder gone, the disk full):
                // the work is kept in its draft, and the next launch says so. No dialog here,
                // which a logout would kill with the work.
                const QString saveError = error;
                error = window->writeDraft(saveError);
                if (!error.isEmpty()) error = saveError;
            }
        }
        if (error.isEmpty())
            window->document()->undoStack()->setClean();
        else
            failures.append(window->displayName() + QStringLiteral(": ") + error);
    }
    return failures;
}

void PintoraApp::quit() {
    const QStringList failures = saveAllDirtyForQuit();
    if (!failures.isEmpty())
        QMessageBox::warning(
            nullptr, tr("Pintora"),
            tr("Some documents could not be saved:\n\n%1").arg(failures.join(QLatin1Char('\n'))));
    const auto windows = documents_.windows();
    for (DocumentWindow* window : windows) {
        // Saved ones close quietly; one whose save failed asks as on closing.
        window->setQuitting(!window->isEdited());
        if (!window->close()) {
            for (DocumentWindow* open : documents_.windows())
                open->setQuitting(false);
            return;
        }
    }
    if (settings_) settings_->close();
    QCoreApplication::quit();
}

void PintoraApp::openWithDialog() {
    const QStringList files =
        QFileDialog::getOpenFileNames(QApplication::activeWindow(), tr("Open"), QDir::homePath(),
                                      tr("Pintora documents (*.pintora)"));
    for (const QString& file : files)
        documents_.openFile(file);
}

SettingsView* PintoraApp::settingsView() const {
    return settings_;
}

void PintoraApp::showSettings() {
    if (!settings_) settings_ = new SettingsView(defaults_, AppPresetsStore::shared());
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}

} // namespace pintora
