#pragma once

#include <QMainWindow>

class QActionGroup;

namespace pintora {

class ContentView;
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
    // The draft file this untitled document was restored from or last written to at quit.
    QString draftPath() const { return draftPath_; }
    bool isEdited() const;
    // Brings what the user sees into the document before it is saved or judged edited: an open
    // text edit ends as its own step, and the zoom and pan are stored (as no edit).
    void takeInWhatIsShown();

    // An untitled, edited document read from a draft, which is kept until the work is safe.
    void adoptDraft(const QString& draftPath);

    // Saves in place, or asks for a file when untitled; false when nothing was saved.
    bool save();
    bool saveAs();
    // Writes the document to `path`, which becomes its file; a failure is shown to the user
    // and leaves any old file intact.
    bool saveTo(const QString& path);
    // At quit: writes an untitled document to its draft file (a new one in `directory` when it
    // has none), leaving it untitled. Returns the failure, or an empty string.
    QString writeDraft(const QString& directory);

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
    void removeDraft();

    PintoraDocument* document_;
    QString filePath_;
    QString draftPath_;
    ContentView* contentView_;
    QActionGroup* tabSwitch_;
    bool appeared_ = false;
    bool quitting_ = false;
};

} // namespace pintora
