#include "capture/ChromiumBrowser.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace pintora {

const QStringList ChromiumBrowser::knownNames = {
    QStringLiteral("chromium"),       QStringLiteral("chromium-browser"),
    QStringLiteral("google-chrome-stable"), QStringLiteral("google-chrome"),
    QStringLiteral("microsoft-edge"), QStringLiteral("brave-browser")};

namespace {
// What the user calls the browser a program or a product string names.
QString familyName(const QString& program, const QString& product) {
    const QString name = QFileInfo(program).fileName().toLower() + u' ' + product.toLower();
    if (name.contains(QLatin1String("edg"))) return QStringLiteral("Edge");
    if (name.contains(QLatin1String("brave"))) return QStringLiteral("Brave");
    if (name.contains(QLatin1String("chromium"))) return QStringLiteral("Chromium");
    return QStringLiteral("Chrome");
}
} // namespace

QString ChromiumBrowser::findExecutable(const QString& preferred) {
    const auto found = [](const QString& name) -> QString {
        if (name.contains(u'/')) {
            const QFileInfo file(name);
            return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
        }
        return QStandardPaths::findExecutable(name);
    };
    if (!preferred.isEmpty()) return found(preferred);
    for (const QString& name : knownNames)
        if (const QString path = found(name); !path.isEmpty()) return path;
    return QString();
}

bool ChromiumBrowser::isEndpoint(const QString& where) {
    return where.startsWith(QLatin1String("ws://")) || where.startsWith(QLatin1String("wss://"));
}

QStringList ChromiumBrowser::launchFlags(const QString& profileDir) {
    QStringList flags{
        QStringLiteral("--headless"),
        QStringLiteral("--remote-debugging-pipe"),
        QStringLiteral("--user-data-dir=") + profileDir,
        QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"),
        // Nothing runs beside the captures: no updates, sync, translation or extensions.
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-extensions"),
        QStringLiteral("--disable-default-apps"),
        QStringLiteral("--disable-features=Translate,MediaRouter,OptimizationHints"),
        QStringLiteral("--password-store=basic"),
        QStringLiteral("--use-mock-keychain"),
        QStringLiteral("--mute-audio"),
        // Software compositing: without a GPU the emulated one only costs time.
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--disable-crash-reporter"),
        QStringLiteral("--disable-breakpad"),
        // Background pages keep painting: every lane is a page nobody looks at.
        QStringLiteral("--disable-background-timer-throttling"),
        QStringLiteral("--disable-backgrounding-occluded-windows"),
        QStringLiteral("--disable-renderer-backgrounding"),
    };
    // Chromium refuses to run as root with its sandbox.
    if (geteuid() == 0) flags << QStringLiteral("--no-sandbox");
    // Extra flags for a browser of our own, for trying things out.
    for (const QString& extra : qEnvironmentVariable("PINTORA_CHROMIUM_FLAGS").split(u' ', Qt::SkipEmptyParts))
        flags << extra;
    flags << QStringLiteral("about:blank");
    return flags;
}

EngineChoice chooseEngine(const QString& engine, const QString& browser) {
    if (engine == QLatin1String("builtin")) return {};
    if (!engine.isEmpty() && engine != QLatin1String("chromium"))
        return {QString(), QObject::tr("'%1' is not an engine (chromium or builtin)").arg(engine)};
    if (ChromiumBrowser::isEndpoint(browser)) return {browser, QString()};
    const QString program = ChromiumBrowser::findExecutable(browser);
    if (!program.isEmpty()) return {program, QString()};
    if (!browser.isEmpty())
        return {QString(), QObject::tr("no browser program at '%1'").arg(browser)};
    if (engine.isEmpty()) return {};
    return {QString(), QObject::tr("no Chromium-family browser found (looked for %1 on PATH)")
                           .arg(ChromiumBrowser::knownNames.join(QStringLiteral(", ")))};
}

ChromiumBrowser::ChromiumBrowser(QString where, QObject* parent)
    : QObject(parent), where_(std::move(where)) {}

ChromiumBrowser::~ChromiumBrowser() {
    shutdown();
}

void ChromiumBrowser::start(std::function<void(const QString&)> done) {
    if (ready_ || !failure_.isEmpty()) {
        if (done) done(failure_);
        return;
    }
    if (done) waiting_ << std::move(done);
    if (starting_) return;
    starting_ = true;
    // A browser that never answers fails the run instead of holding it.
    QTimer::singleShot(startLimitMs, this, [this, attempt = ++attempts_] {
        if (starting_ && attempt == attempts_)
            lose(tr("the browser did not answer within %1 s").arg(startLimitMs / 1000));
    });
    if (isEndpoint(where_))
        connectTo(QUrl(where_));
    else
        launch();
}

void ChromiumBrowser::launch() {
    // A write to a browser that has gone must fail, not end this process.
    std::signal(SIGPIPE, SIG_IGN);
    profile_ = std::make_unique<QTemporaryDir>(
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
            .filePath(QStringLiteral("pintora-chromium-XXXXXX")));
    int toChild[2];
    int fromChild[2];
    if (!profile_->isValid() || pipe2(toChild, O_CLOEXEC) != 0) {
        lose(tr("could not prepare the browser's start"));
        return;
    }
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        lose(tr("could not prepare the browser's start"));
        return;
    }
    process_ = new QProcess(this);
    process_->setProgram(where_);
    process_->setArguments(launchFlags(profile_->path()));
    // Its settings, caches and crash reports stay in the run's own folder; every process it
    // starts carries the run's mark, also those that leave its process group.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), profile_->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), profile_->filePath(QStringLiteral("cache")));
    mark_ = QStringLiteral("PINTORA_BROWSER_RUN=%1.%2")
                .arg(QCoreApplication::applicationPid())
                .arg(QFileInfo(profile_->path()).fileName())
                .toUtf8();
    environment.insert(QString::fromUtf8(mark_.left(mark_.indexOf('='))),
                       QString::fromUtf8(mark_.mid(mark_.indexOf('=') + 1)));
    process_->setProcessEnvironment(environment);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    const int childIn = toChild[0];
    const int childOut = fromChild[1];
    process_->setChildProcessModifier([childIn, childOut] {
        // Above 9 first, so that neither lands on the other's number; dup2 then clears the
        // close-on-exec flag of 3 and 4 only.
        const int in = fcntl(childIn, F_DUPFD_CLOEXEC, 10);
        const int out = fcntl(childOut, F_DUPFD_CLOEXEC, 10);
        dup2(in, 3);
        dup2(out, 4);
        // A group of its own, so every helper it starts ends with it; and it ends with us.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            lose(tr("%1 could not be started: %2").arg(where_, process_->errorString()));
    });
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (closing_) return;
        lose(status == QProcess::CrashExit ? tr("the browser crashed")
                                           : tr("the browser quit (exit code %1)").arg(code));
    });
    process_->start();
    ::close(childIn);
    ::close(childOut);
    toBrowser_ = toChild[1];
    fromBrowser_ = fromChild[0];
    if (!process_->waitForStarted(10000)) {
        lose(tr("%1 could not be started: %2").arg(where_, process_->errorString()));
        return;
    }
    pid_ = process_->processId();
    fcntl(fromBrowser_, F_SETFL, fcntl(fromBrowser_, F_GETFL) | O_NONBLOCK);
    readable_ = new QSocketNotifier(fromBrowser_, QSocketNotifier::Read, this);
    connect(readable_, &QSocketNotifier::activated, this, &ChromiumBrowser::readPipe);
    send(QStringLiteral("Browser.getVersion"), {}, QString(),
         [this](const QJsonObject& result, const QString& error) {
             product_ = result.value(QLatin1String("product")).toString();
             answered(error);
         });
}

void ChromiumBrowser::connectTo(const QUrl& endpoint) {
    socket_ = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    socket_->setMaxAllowedIncomingMessageSize(1ull << 31);
    connect(socket_, &QWebSocket::connected, this, [this] {
        send(QStringLiteral("Browser.getVersion"), {}, QString(),
             [this](const QJsonObject& result, const QString& error) {
                 product_ = result.value(QLatin1String("product")).toString();
                 answered(error);
             });
    });
    connect(socket_, &QWebSocket::textMessageReceived, this,
            [this](const QString& message) { received(message.toUtf8()); });
    connect(socket_, &QWebSocket::binaryMessageReceived, this, &ChromiumBrowser::received);
    connect(socket_, &QWebSocket::disconnected, this, [this] {
        if (!closing_)
            lose(socket_->closeReason().isEmpty()
                     ? tr("the connection to %1 closed").arg(where_)
                     : tr("the connection to %1 closed: %2").arg(where_, socket_->closeReason()));
    });
    connect(socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this](QAbstractSocket::SocketError) {
        if (!closing_) lose(tr("cannot reach %1: %2").arg(where_, socket_->errorString()));
    });
    socket_->open(endpoint);
}

void ChromiumBrowser::answered(const QString& error) {
    starting_ = false;
    if (error.isEmpty()) {
        ready_ = true;
        static const QRegularExpression major(QStringLiteral("/(\\d+)\\."));
        const QString number = major.match(product_).captured(1);
        versionLabel_ = familyName(isEndpoint(where_) ? QString() : where_, product_) +
                        (number.isEmpty() ? QString() : u' ' + number);
    } else if (failure_.isEmpty()) {
        failure_ = error;
    }
    const auto waiting = std::exchange(waiting_, {});
    for (const auto& done : waiting)
        done(failure_);
}

void ChromiumBrowser::readPipe() {
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fromBrowser_, chunk, sizeof chunk);
        if (n > 0) {
            incoming_.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            readable_->setEnabled(false);
            if (!closing_) lose(tr("the browser closed its connection"));
        }
        break;
    }
    // Each message ends in a NUL; a message may still be on its way.
    qsizetype start = 0;
    for (qsizetype end; (end = incoming_.indexOf('\0', start)) >= 0; start = end + 1) {
        received(incoming_.mid(start, end - start));
        if (fromBrowser_ < 0) return; // shut down meanwhile
    }
    incoming_.remove(0, start);
}

namespace {
// PINTORA_DEVTOOLS_LOG=1 shows the protocol's traffic on stderr, each message cut short.
const bool logTraffic = qEnvironmentVariableIsSet("PINTORA_DEVTOOLS_LOG");
void logMessage(const char* direction, const QByteArray& message) {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    if (logTraffic)
        std::fprintf(stderr, "%6lld %s %s\n", clock.elapsed(), direction, message.left(200).constData());
}
} // namespace

void ChromiumBrowser::received(const QByteArray& message) {
    logMessage("<", message);
    // A screenshot's megabytes are handed on as they are, never parsed into a string.
    static const QByteArray dataKey = QByteArrayLiteral("\"data\":\"");
    static const QByteArray idKey = QByteArrayLiteral("{\"id\":");
    if (!wantData_.isEmpty() && message.startsWith(idKey)) {
        const int id = message.mid(idKey.size(), 12).split(',').value(0).toInt();
        const qsizetype start = message.indexOf(dataKey);
        const qsizetype end = start < 0 ? -1 : message.indexOf('"', start + dataKey.size());
        if (wantData_.remove(id) && end > 0) {
            const Reply reply = pending_.take(id);
            if (!reply) return;
            replyData_ = message.mid(start + dataKey.size(), end - start - dataKey.size());
            reply({}, QString());
            replyData_.clear();
            return;
        }
    }
    const QJsonObject object = QJsonDocument::fromJson(message).object();
    if (object.contains(QLatin1String("id"))) {
        const Reply reply = pending_.take(object.value(QLatin1String("id")).toInt());
        if (!reply) return;
        const QJsonObject error = object.value(QLatin1String("error")).toObject();
        reply(object.value(QLatin1String("result")).toObject(),
              error.isEmpty() ? QString()
                              : error.value(QLatin1String("message")).toString(
                                    QStringLiteral("the browser refused the command")));
        return;
    }
    const Listener listener =
        listeners_.value(object.value(QLatin1String("sessionId")).toString());
    if (listener)
        listener(object.value(QLatin1String("method")).toString(),
                 object.value(QLatin1String("params")).toObject());
}

void ChromiumBrowser::send(const QString& method, const QJsonObject& params,
                           const QString& sessionId, Reply reply) {
    if (!failure_.isEmpty() || closing_) {
        // Answered later, as the browser would: the caller may still be setting up.
        if (reply) {
            const QString why = failure_.isEmpty() ? tr("the browser was closed") : failure_;
            QMetaObject::invokeMethod(this, [reply, why] { reply({}, why); },
                                      Qt::QueuedConnection);
        }
        return;
    }
    const int id = ++nextId_;
    QJsonObject command{{QStringLiteral("id"), id}, {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (!sessionId.isEmpty()) command.insert(QStringLiteral("sessionId"), sessionId);
    if (reply) {
        pending_.insert(id, std::move(reply));
        const int limit = method == QLatin1String("Page.captureScreenshot") ? screenshotLimitMs
                                                                          : answerLimitMs;
        deadlines_.insert(id, {QDateTime::currentMSecsSinceEpoch() + limit, method});
        if (!sweeper_) {
            sweeper_ = new QTimer(this);
            connect(sweeper_, &QTimer::timeout, this, &ChromiumBrowser::sweep);
        }
        if (!sweeper_->isActive()) sweeper_->start(250);
    }
    write(QJsonDocument(command).toJson(QJsonDocument::Compact));
}

void ChromiumBrowser::sweep() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<int> late;
    for (auto it = deadlines_.cbegin(); it != deadlines_.cend(); ++it)
        if (it->at <= now || !pending_.contains(it.key())) late << it.key();
    for (int id : late) {
        const Deadline deadline = deadlines_.take(id);
        wantData_.remove(id);
        if (const Reply reply = pending_.take(id))
            reply({}, tr("the browser did not answer %1 within %2 s")
                          .arg(deadline.method)
                          .arg((deadline.method == QLatin1String("Page.captureScreenshot")
                                    ? screenshotLimitMs
                                    : answerLimitMs) /
                               1000));
    }
    if (deadlines_.isEmpty()) sweeper_->stop();
}

void ChromiumBrowser::sendForData(const QString& method, const QJsonObject& params,
                                  const QString& sessionId, Reply reply) {
    const int id = nextId_ + 1;
    send(method, params, sessionId, std::move(reply));
    if (pending_.contains(id)) wantData_.insert(id);
}

void ChromiumBrowser::write(const QByteArray& message) {
    logMessage(">", message);
    if (socket_) {
        socket_->sendTextMessage(QString::fromUtf8(message));
        return;
    }
    QByteArray bytes = message;
    bytes.append('\0');
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(toBrowser_, bytes.constData() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lose(tr("the browser stopped listening"));
            return;
        }
        written += n;
    }
}

void ChromiumBrowser::listen(const QString& sessionId, Listener listener) {
    listeners_.insert(sessionId, std::move(listener));
}

void ChromiumBrowser::lose(const QString& reason) {
    if (!failure_.isEmpty()) return;
    failure_ = reason;
    ready_ = false;
    const auto pending = std::exchange(pending_, {});
    deadlines_.clear();
    wantData_.clear();
    for (const Reply& reply : pending)
        reply({}, reason);
    if (starting_) answered(reason);
    emit lost(reason);
}

void ChromiumBrowser::killProcesses() {
    if (!process_) return;
    // The whole group: the browser and every helper it started.
    if (pid_ > 0) ::kill(-pid_t(pid_), SIGKILL);
    process_->kill();
    process_->waitForFinished(2000);
    // Helpers that made a session of their own (the crash reporter) still carry the mark.
    const QByteArray wanted = mark_ + '\0';
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number || pid == getpid()) continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().contains(wanted))
            ::kill(pid, SIGKILL);
    }
}

void ChromiumBrowser::shutdown() {
    if (closing_) return;
    const bool started = starting_ || ready_ || !failure_.isEmpty();
    closing_ = true;
    ready_ = false;
    delete readable_;
    readable_ = nullptr;
    if (socket_) {
        socket_->disconnect(this);
        socket_->close();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    killProcesses();
    delete process_;
    process_ = nullptr;
    pid_ = 0;
    if (toBrowser_ >= 0) ::close(toBrowser_);
    if (fromBrowser_ >= 0) ::close(fromBrowser_);
    toBrowser_ = fromBrowser_ = -1;
    incoming_.clear();
    profile_.reset();
    const auto pending = std::exchange(pending_, {});
    deadlines_.clear();
    wantData_.clear();
    const auto waiting = std::exchange(waiting_, {});
    listeners_.clear();
    starting_ = false;
    failure_.clear();
    closing_ = false;
    for (const Reply& reply : pending)
        reply({}, tr("the browser was closed"));
    for (const auto& done : waiting)
        done(tr("the browser was closed"));
    if (started) emit closed();
}

void ChromiumBrowser::probeVersion(const QString& program, QObject* context,
                                   std::function<void(const QString&)> done) {
    auto* process = new QProcess(context);
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, context, [process, program, done] {
        static const QRegularExpression major(QStringLiteral("(\\d+)\\.\\d+\\.\\d+"));
        const QString text = QString::fromLocal8Bit(process->readAllStandardOutput());
        const QString number = major.match(text).captured(1);
        process->deleteLater();
        done(number.isEmpty() ? QString() : familyName(program, text) + u' ' + number);
    });
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         process->deleteLater();
                         done(QString());
                     });
    process->start(program, {QStringLiteral("--version")});
}

} // namespace pintora
