#pragma once

#include "platform/ui/SystemClipboard.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

namespace pintora {

class DocumentWindow;
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
    // Opens a draft as an untitled, edited document; the draft file stays until the work is
    // saved elsewhere, let go, or written again at quit. Null when it cannot be read.
    DocumentWindow* openDraft(const QString& path);

    QList<DocumentWindow*> windows() const;

    // Shows a failure to the user; the default is a message box that does not block.
    using ErrorReporter = std::function<void(const QString& title, const QString& detail)>;
    void setErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }

signals:
    // A window was made for a document, before it is shown.
    void windowAdded(DocumentWindow* window);

private:
    DocumentWindow* addWindow(DocumentWindow* window);

    UserDefaults& defaults_;
    SystemClipboard clipboard_;
    QList<QPointer<DocumentWindow>> windows_;
    ErrorReporter reportError_;
};

} // namespace pintora
