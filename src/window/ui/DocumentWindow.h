#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <memory>

class QActionGroup;

namespace pintora {

class ContentView;
class RecoveryCopy;
class ItemClipboard;
class PintoraDocument;
class UserDefaults;

// One window per document: the content view, the tab switch and saving the document.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    // Takes ownership of the document; `filePath` is empty for an untitled one.
    DocumentWindow(PintoraDocument* document, const QString& filePath, UserDefaults& defaults,
                   ItemClipboard& clipboard, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    PintoraDocument* document() const { return document_; }
    ContentView* contentView() const { return contentView_; }
    QString filePath() const { return filePath_; }
    // Whether `path` leads to this document's file, by whatever way (a link, a relative path).
    bool refersTo(const QString& path) const;
    // The draft that keeps this document's unsaved work: written a few seconds after each
    // change, and at quit for an untitled one; empty while there is none.
    QString draftPath() const;
    bool isEdited() const;
    // Brings what the user sees into the document before it is saved or judged edited: an open
    // text edit ends as its own step, and the zoom and pan are stored (as no edit).
    void takeInWhatIsShown();

    // An edited document read from a draft, which is kept until the work is safe.
    void adoptDraft(const QString& draftPath);

    // Saves in place, or asks for a file when untitled; false when nothing was saved.
    bool save();
    bool saveAs();
    // Writes the document to `path`, which becomes its file; a failure is shown to the user
    // and leaves any old file intact.
    bool saveTo(const QString& path);
    // At quit: writes the document to its draft (for a titled one whose own file could not
    // be written, with why), leaving the document as it is. Returns the failure, or an empty
    // string.
    QString writeDraft(const QString& failedSave = QString());
    // Reads the document's file again, dropping every change and the draft; false when the
    // file cannot be read (the document then stays as it is).
    bool revertToSaved();
    // The work is safe in its own file (saved at quit): its draft goes.
    void removeDraft();
    // Removes the draft when it holds nothing unsaved: the document is as its file has it, or
    // an untitled one was never changed. An untitled document saved at quit keeps its draft.
    void forgetDraftIfNothingUnsaved();
    // Waits for a draft being written in the background (tests).
    void waitForDraft() const;
    // Where this window's draft goes (the application's drafts folder by default); set before
    // any draft is written.
    void setDraftsDirectory(const QString& directory);

    // Closing after everything was saved for quitting asks nothing.
    void setQuitting(bool quitting) { quitting_ = quitting; }

    // The suggested file name for Save As and the question before closing.
    QString displayName() const;

signals:
    // The window has closed and is about to go; its document is no longer open.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void updateTitle();
    // A change to keep: the draft is written once the changes have paused for a moment.
    void changed();
    void writeDraftLater();

    PintoraDocument* document_;
    QString filePath_;
    std::unique_ptr<RecoveryCopy> recovery_;
    QTimer draftTimer_;
    QElapsedTimer unkeptSince_; // since the first change not in the draft
    ContentView* contentView_;
    QActionGroup* tabSwitch_;
    bool appeared_ = false;
    bool quitting_ = false;
    bool cleanIsDraft_ = false; // an untitled document marked saved when its draft was written
};

} // namespace pintora
