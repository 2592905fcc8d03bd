#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

class QProcess;
class QTimer;
class QSocketNotifier;
class QTemporaryDir;
class QWebSocket;

namespace pintora {

// One Chromium-family browser spoken to over the DevTools protocol: a headless one started
// here (the protocol's NUL-separated JSON on file descriptors 3 and 4), or one already running
// elsewhere, reached at its ws:// address. Commands are answered by id; events go to the
// listener of their session. Whatever the run's end, a browser started here is gone with this
// object, its helper processes too.
class ChromiumBrowser : public QObject {
    Q_OBJECT
public:
    // The answer to a command: its result, or the protocol's error message.
    using Reply = std::function<void(const QJsonObject& result, const QString& error)>;
    using Listener = std::function<void(const QString& method, const QJsonObject& params)>;

    // The browsers looked for on PATH, in this order, when none is named.
    static const QStringList knownNames;
    // `preferred` when it names a program (a path, or a name on PATH), else the first known
    // browser on PATH; empty when there is none.
    static QString findExecutable(const QString& preferred = QString());
    static bool isEndpoint(const QString& where);

    // `where` is a program to start, or a ws:// (wss://) address to connect to.
    explicit ChromiumBrowser(QString where, QObject* parent = nullptr);
    ~ChromiumBrowser() override;

    // Starts the browser, or connects; `done` is called once, with an empty message when the
    // browser answers. Calls while it is starting wait for the same answer.
    void start(std::function<void(const QString& error)> done);
    bool isReady() const { return ready_; }
    // "Chromium 156", from the browser's own answer; empty before it answered.
    QString versionLabel() const { return versionLabel_; }
    // The browser's product string, "Chrome/156.0.8078.129".
    QString product() const { return product_; }
    // Why the browser can take no more commands; empty while it can.
    QString failure() const { return failure_; }

    // Sends a command, to the browser itself or to one attached session.
    void send(const QString& method, const QJsonObject& params, const QString& sessionId,
              Reply reply = {});
    // The same for a command answered with a large "data" string (a screenshot): the reply's
    // result leaves it out, and `replyData` holds its raw text while the reply runs.
    void sendForData(const QString& method, const QJsonObject& params, const QString& sessionId,
                     Reply reply);
    QByteArray replyData() const { return replyData_; }
    void listen(const QString& sessionId, Listener listener);
    void unlisten(const QString& sessionId) { listeners_.remove(sessionId); }

    // Ends every process the browser started (or the connection); the next `start` begins
    // afresh. Every command still waiting is answered as failed.
    void shutdown();
    // What `program --version` says, as "Chromium 156"; `done` gets an empty text when the
    // program says nothing of the kind.
    static void probeVersion(const QString& program, QObject* context,
                             std::function<void(const QString&)> done);

    // The flags a headless browser is started with here.
    static QStringList launchFlags(const QString& profileDir);

signals:
    // The browser quit, crashed or the connection broke while it was in use.
    void lost(const QString& reason);
    // `shutdown` ended the browser: sessions and contexts made in it are gone.
    void closed();

private:
    void launch();
    void connectTo(const QUrl& endpoint);
    void readPipe();
    void received(const QByteArray& message);
    void write(const QByteArray& message);
    void answered(const QString& error);
    void lose(const QString& reason);
    void killProcesses();

    QString where_;
    static constexpr int startLimitMs = 30000;
    // A command unanswered this long is answered as failed: a page stuck in a navigation can
    // hold some commands for ever. Screenshots of tall pages take longer.
    static constexpr int answerLimitMs = 20000;
    static constexpr int screenshotLimitMs = 60000;
    bool starting_ = false;
    int attempts_ = 0; // starts so far: a late time limit of an earlier one does nothing
    bool ready_ = false;
    bool closing_ = false;
    QString failure_;
    QString versionLabel_;
    QString product_;
    QList<std::function<void(const QString&)>> waiting_;
    int nextId_ = 0;
    QHash<int, Reply> pending_;
    // When each command waited for stops being waited for, and what it was.
    struct Deadline {
        qint64 at;
        QString method;
    };
    QHash<int, Deadline> deadlines_;
    QTimer* sweeper_ = nullptr;
    void sweep();
    QSet<int> wantData_;
    QByteArray replyData_;
    QHash<QString, Listener> listeners_;

    // A browser started here.
    QProcess* process_ = nullptr;
    qint64 pid_ = 0;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    QSocketNotifier* readable_ = nullptr;
    QByteArray incoming_;
    std::unique_ptr<QTemporaryDir> profile_;
    QByteArray mark_; // NAME=VALUE in the environment of every process of this browser
    // A browser reached at its address.
    QWebSocket* socket_ = nullptr;
};

// Which engine a capture uses: Chromium at `browser` (a program or ws:// address), or the
// built-in one (`browser` empty). `error` says why the engine asked for cannot be had.
struct EngineChoice {
    QString browser;
    QString error;
};
// `engine` is "chromium", "builtin", or empty for Chromium when one is found; `browser` names
// the program or address to use, empty to look for one on PATH.
EngineChoice chooseEngine(const QString& engine, const QString& browser);

} // namespace pintora
