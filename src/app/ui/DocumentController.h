#pragma once

#include "platform/ui/SystemClipboard.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

namespace pintora {

class DocumentWindow;
class PintoraDocument;
class UserDefaults;

// Opens documents into windows and keeps the list of open ones, in opening order.
class DocumentController : public QObject {
    Q_OBJECT
public:
    explicit DocumentController(UserDefaults& defaults, QObject* parent = nullptr);

    // A new, untitled document in a new window.
    DocumentWindow* newDocument();
    // Opens the file in a new window, or raises the window that has it open already. On a
    // failure the user is told why and nothing opens.
    DocumentWindow* openFile(const QString& path);
    // The window of the file at `path`, reached by any path (a link, a relative one); null
    // when it is not open.
    DocumentWindow* windowOf(const QString& path) const;
    // Opens a draft as an edited document: untitled, or titled with the file its note names
    // (asking which to keep when that file changed since). The draft stays until the work is
    // saved, let go, or written again. Null when it cannot be read.
    DocumentWindow* openDraft(const QString& path);

    QList<DocumentWindow*> windows() const;

    // Shows a failure to the user; the default is a message box that does not block.
    using ErrorReporter = std::function<void(const QString& title, const QString& detail)>;
    void setErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }
    // Asks whether the recovered changes of `window`'s file are kept over the file as it is on
    // disk now, which changed after they were kept; the default asks in a sheet on the window.
    using RecoveryQuestion =
        std::function<void(DocumentWindow* window, std::function<void(bool keepRecovered)>)>;
    void setRecoveryQuestion(RecoveryQuestion question) { askRecovery_ = std::move(question); }
    // Where the windows keep their drafts.
    void setDraftsDirectory(const QString& directory) { draftsDirectory_ = directory; }

signals:
    // A window was made for a document, before it is shown.
    void windowAdded(DocumentWindow* window);

private:
    DocumentWindow* addWindow(DocumentWindow* window);
    DocumentWindow* makeWindow(PintoraDocument* document, const QString& filePath);

    UserDefaults& defaults_;
    SystemClipboard clipboard_;
    QList<QPointer<DocumentWindow>> windows_;
    ErrorReporter reportError_;
    QString draftsDirectory_;
    RecoveryQuestion askRecovery_;
};

} // namespace pintora
