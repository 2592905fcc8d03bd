#include "capture/OtherBrowsers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <unistd.h>

namespace pintora {

const QList<KnownBrowser>& knownBrowsers() {
    static const QList<KnownBrowser> browsers{
        {QStringLiteral("Firefox"),
         BrowserFamily::firefox,
         // Current releases keep their profiles under the XDG folder, older ones in ~/.mozilla.
         {QStringLiteral(".config/mozilla/firefox"), QStringLiteral(".mozilla/firefox"),
          QStringLiteral("snap/firefox/common/.config/mozilla/firefox"),
          QStringLiteral("snap/firefox/common/.mozilla/firefox"),
          QStringLiteral(".var/app/org.mozilla.firefox/config/mozilla/firefox"),
          QStringLiteral(".var/app/org.mozilla.firefox/.mozilla/firefox")},
         {QStringLiteral("firefox"), QStringLiteral("firefox-esr"), QStringLiteral("navigator")}},
        {QStringLiteral("Google Chrome"),
         BrowserFamily::chromium,
         {QStringLiteral(".config/google-chrome"),
          QStringLiteral(".var/app/com.google.Chrome/config/google-chrome")},
         {QStringLiteral("google-chrome")}},
        {QStringLiteral("Chromium"),
         BrowserFamily::chromium,
         {QStringLiteral(".config/chromium"), QStringLiteral("snap/chromium/common/chromium"),
          QStringLiteral(".var/app/org.chromium.Chromium/config/chromium")},
         {QStringLiteral("chromium"), QStringLiteral("chromium-browser")}},
        {QStringLiteral("Brave Browser"),
         BrowserFamily::chromium,
         {QStringLiteral(".config/BraveSoftware/Brave-Browser"),
          QStringLiteral(".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser")},
         {QStringLiteral("brave-browser")}},
        {QStringLiteral("Microsoft Edge"),
         BrowserFamily::chromium,
         {QStringLiteral(".config/microsoft-edge"),
          QStringLiteral(".var/app/com.microsoft.Edge/config/microsoft-edge")},
         {QStringLiteral("microsoft-edge")}},
        {QStringLiteral("Vivaldi"),
         BrowserFamily::chromium,
         {QStringLiteral(".config/vivaldi"),
          QStringLiteral(".var/app/com.vivaldi.Vivaldi/config/vivaldi")},
         {QStringLiteral("vivaldi-stable"), QStringLiteral("vivaldi")}},
    };
    return browsers;
}

std::optional<qsizetype> browserForExecutable(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const auto in = [&](const char* part) { return path.contains(QLatin1StringView(part)); };
    std::optional<QString> app;
    if (name == QLatin1StringView("firefox") || name == QLatin1StringView("firefox-esr") ||
        name == QLatin1StringView("firefox-bin")) {
        app = QStringLiteral("Firefox");
    } else if (name == QLatin1StringView("chromium") ||
               name == QLatin1StringView("chromium-browser") ||
               (name == QLatin1StringView("chrome") && in("chromium"))) {
        app = QStringLiteral("Chromium"); // Debian's, and the Snap's chrome binary
    } else if (name == QLatin1StringView("chrome") && in("/google/chrome")) {
        app = QStringLiteral("Google Chrome");
    } else if (name == QLatin1StringView("brave") ||
               (name == QLatin1StringView("chrome") && in("brave"))) {
        app = QStringLiteral("Brave Browser");
    } else if (name == QLatin1StringView("msedge")) {
        app = QStringLiteral("Microsoft Edge");
    } else if (name == QLatin1StringView("vivaldi-bin")) {
        app = QStringLiteral("Vivaldi");
    }
    if (!app) return std::nullopt;
    const QList<KnownBrowser>& all = knownBrowsers();
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i].appName == *app) return i;
    }
    return std::nullopt;
}

std::optional<qsizetype> browserForWindowClass(const QString& windowClass) {
    const QString lower = windowClass.toLower();
    const QList<KnownBrowser>& all = knownBrowsers();
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i].windowClasses.contains(lower)) return i;
    }
    return std::nullopt;
}

namespace {

// The value of `--name=value` or `--name value` among a process's arguments.
std::optional<QString> argumentValue(const QStringList& args, const QString& name) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].startsWith(name + QLatin1Char('='))) return args[i].mid(name.size() + 1);
        if (args[i] == name && i + 1 < args.size()) return args[i + 1];
    }
    return std::nullopt;
}

} // namespace

QList<RunningBrowser> runningBrowsers(const QString& procRoot) {
    std::map<qsizetype, QStringList> found;
    const QStringList pids = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid.isEmpty() || !pid[0].isDigit()) continue;
        const QString exe =
            QFileInfo(procRoot + QLatin1Char('/') + pid + QStringLiteral("/exe")).symLinkTarget();
        const std::optional<qsizetype> browser = browserForExecutable(exe);
        if (!browser) continue;
        QStringList& dirs = found[*browser];
        QFile cmdline(procRoot + QLatin1Char('/') + pid + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly)) continue;
        QStringList args;
        for (const QByteArray& arg : cmdline.readAll().split('\0'))
            args << QString::fromLocal8Bit(arg);
        // Helper processes (renderers, GPU) name their kind; only the main one names the profile.
        if (argumentValue(args, QStringLiteral("--type"))) continue;
        const QString option = knownBrowsers()[*browser].family == BrowserFamily::firefox
                                   ? QStringLiteral("--profile")
                                   : QStringLiteral("--user-data-dir");
        if (const auto dir = argumentValue(args, option); dir && !dirs.contains(*dir)) dirs << *dir;
    }
    QList<RunningBrowser> result;
    for (const auto& [browser, dirs] : found)
        result.append({browser, dirs});
    return result;
}

bool profileInUse(const QString& dir, BrowserFamily family, const QString& procRoot) {
    const QByteArray link = QFile::encodeName(dir + (family == BrowserFamily::firefox
                                                         ? QStringLiteral("/lock")
                                                         : QStringLiteral("/SingletonLock")));
    char target[512];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length <= 0) return false;
    // Firefox writes "address:+PID", Chromium "hostname-PID".
    const QString text = QString::fromLocal8Bit(target, length);
    const qsizetype separator = std::max(text.lastIndexOf(u'+'), text.lastIndexOf(u'-'));
    bool ok = false;
    const qint64 pid = text.mid(separator + 1).toLongLong(&ok);
    return ok && pid > 0 && QFileInfo(procRoot + QLatin1Char('/') + QString::number(pid)).isDir();
}

QList<QPair<QString, QList<ImportedTab>>> groupByBrowser(const QList<ImportedTab>& tabs) {
    std::map<QString, QList<ImportedTab>> groups; // QString orders by code point
    for (const ImportedTab& tab : tabs)
        groups[tab.appName].append(tab);
    QList<QPair<QString, QList<ImportedTab>>> result;
    for (auto& [name, list] : groups)
        result.append({name, list});
    return result;
}

} // namespace pintora
