#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

namespace pintora {

class DocumentWindow;
class UserDefaults;

// Opens documents into windows and keeps the list of open ones.
class DocumentController : public QObject {
    Q_OBJECT
public:
    explicit DocumentController(UserDefaults& defaults, QObject* parent = nullptr);

    // A new, untitled document in a new window.
    DocumentWindow* newDocument();
    // Opens the file in a new window, or raises the window that has it open already. On a
    // failure the user is told why and nothing opens.
    DocumentWindow* openFile(const QString& path);

    QList<DocumentWindow*> windows() const;

    // Shows a failure to the user; the default is a message box that does not block.
    using ErrorReporter = std::function<void(const QString& title, const QString& detail)>;
    void setErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }

private:
    DocumentWindow* addWindow(DocumentWindow* window);

    UserDefaults& defaults_;
    QList<QPointer<DocumentWindow>> windows_;
    ErrorReporter reportError_;
};

} // namespace pintora
