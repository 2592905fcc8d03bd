#include "platform/ui/BrowserBridge.h"

#include "capture/ChromiumSession.h"
#include "capture/FirefoxSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTcpSocket>

namespace pintora {

std::optional<QList<ImportedTab>> devToolsTabs(quint16 port, const QString& appName,
                                               int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) return std::nullopt;
    // DevTools speaks HTTP/1.1 only; the browser closes the connection after answering.
    socket.write("GET /json/list HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    constexpr qsizetype maxAnswer = 8 << 20;
    // Done once the body is as long as the header says, or when the browser closes.
    auto complete = [&answer] {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        if (end < 0) return false;
        const QByteArray head = answer.left(end).toLower();
        const qsizetype field = head.indexOf("content-length:");
        if (field < 0) return false;
        const qsizetype lineEnd = head.indexOf("\r\n", field);
        const qsizetype length =
            head.mid(field + 15, lineEnd < 0 ? -1 : lineEnd - field - 15).trimmed().toLongLong();
        return answer.size() - end - 4 >= length;
    };
    while (!deadline.hasExpired() && answer.size() < maxAnswer && !complete()) {
        if (socket.bytesAvailable() == 0 &&
            !socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            break; // closed after the answer, or out of time
        }
        answer += socket.readAll();
    }
    const qsizetype body = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/1.") || !answer.contains(" 200 ") || body < 0) {
        return std::nullopt;
    }
    return tabsFromDevToolsList(answer.mid(body + 4), appName);
}

QList<ImportedTab> listAllTabs(int budgetMs, const QString& home, const QString& procRoot) {
    const QString homeDir = home.isEmpty() ? QDir::homePath() : home;
    QDeadlineTimer deadline(budgetMs);
    QList<ImportedTab> tabs;
    for (const RunningBrowser& running : runningBrowsers(procRoot)) {
        if (deadline.hasExpired()) break;
        const KnownBrowser& browser = knownBrowsers()[running.browser];
        QStringList roots = running.profileDirs;
        if (roots.isEmpty()) {
            for (const QString& relative : browser.profileRoots) {
                const QString root = homeDir + QLatin1Char('/') + relative;
                if (QDir(root).exists()) roots << root;
            }
        }
        for (const QString& root : roots) {
            // A folder named on the command line is in use; of the usual places, only the
            // profiles a running browser holds count, not what closed ones left behind.
            const bool named = !running.profileDirs.isEmpty();
            if (browser.family == BrowserFamily::firefox) {
                QStringList profiles;
                for (const QString& profile : named ? QStringList{root} : firefoxProfiles(root)) {
                    if (named || profileInUse(profile, browser.family, procRoot))
                        profiles << profile;
                }
                tabs += readFirefoxTabs(profiles, browser.appName);
                continue;
            }
            if (!named && !profileInUse(root, browser.family, procRoot)) continue;
            if (const auto port = devToolsPort(root)) {
                const int wait = int(std::min<qint64>(deadline.remainingTime(), 400));
                if (const auto live = devToolsTabs(*port, browser.appName, wait)) {
                    tabs += *live;
                    continue;
                }
            }
            tabs += readChromiumTabs(root, browser.appName);
        }
    }
    return tabs;
}

} // namespace pintora
