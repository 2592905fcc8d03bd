#pragma once

#include "app/ui/DocumentController.h"
#include "app/ui/Updater.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

namespace pintora {

class DocumentWindow;
class SettingsView;
class UserDefaults;

// The application: its documents, launching with drafts, quitting with saves, the settings
// window and the updater.
class PintoraApp : public QObject {
    Q_OBJECT
public:
    PintoraApp(UserDefaults& defaults, const QString& version, QObject* parent = nullptr);
    ~PintoraApp() override;

    DocumentController& documents() { return documents_; }
    Updater& updater() { return updater_; }
    // Where drafts are written at quit and found at launch.
    QString draftsDirectory() const { return draftsDirectory_; }
    void setDraftsDirectory(const QString& directory) {
        draftsDirectory_ = directory;
        documents_.setDraftsDirectory(directory);
    }

    // Reopens the drafts, then opens `files`; with neither, one new untitled document.
    void launch(const QStringList& files);
    // Opens every draft found as an untitled, edited document; true when there were any.
    bool restoreDraftsIfAny();
    // Asked to show itself again (another launch without files): a window, or a new document.
    void reopen();

    // Saves every edited document: in place, or untitled ones as drafts. Returns the names of
    // the documents that could not be saved, each with the reason.
    QStringList saveAllDirtyForQuit();
    // Saves everything and ends the application; a document that could not be saved is asked
    // about as on closing, and cancelling that keeps the application running.
    void quit();

    void openWithDialog();
    void showSettings();
    SettingsView* settingsView() const;

private:
    void installMenus(DocumentWindow* window);

    UserDefaults& defaults_;
    DocumentController documents_;
    Updater updater_;
    QString draftsDirectory_;
    QPointer<SettingsView> settings_;
};

} // namespace pintora
