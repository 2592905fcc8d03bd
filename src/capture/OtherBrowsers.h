#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pintora {

// The desktop browsers whose tabs can be imported and whose windows can be captured.
enum class BrowserFamily { firefox, chromium };

struct KnownBrowser {
    QString appName; // shown in the menus
    BrowserFamily family;
    QStringList profileRoots;  // relative to the home folder, first the usual install's
    QStringList windowClasses; // X11 WM_CLASS names of its windows, lower case
};

// In menu order.
const QList<KnownBrowser>& knownBrowsers();

// Which known browser an executable is, by its path (`/proc/PID/exe`), including Snap and
// Flatpak installs where the path says so.
std::optional<qsizetype> browserForExecutable(const QString& path);

// Which known browser a window class belongs to.
std::optional<qsizetype> browserForWindowClass(const QString& windowClass);

// A running browser: its main processes' profile folders given with --user-data-dir (or
// --profile for Firefox), when any.
struct RunningBrowser {
    qsizetype browser;
    QStringList profileDirs;
};

// The known browsers with a process running, in menu order, read from `procRoot`.
QList<RunningBrowser> runningBrowsers(const QString& procRoot = QStringLiteral("/proc"));

// Whether a browser is running on the profile folder `dir`: its lock link (`lock` for Firefox,
// `SingletonLock` for the Chromium family) names a process that is alive in `procRoot`. A lock
// left behind by a crash names a process that is gone.
bool profileInUse(const QString& dir, BrowserFamily family,
                  const QString& procRoot = QStringLiteral("/proc"));

// One tab of another browser.
struct ImportedTab {
    QString url;
    QString title;
    QString appName;

    bool operator==(const ImportedTab&) const = default;
};

// The import menu's groups: tabs by browser name, names in code-point order.
QList<QPair<QString, QList<ImportedTab>>> groupByBrowser(const QList<ImportedTab>& tabs);

// What a menu item shows for a tab: its title, or its address when the title is empty.
inline QString menuTitle(const ImportedTab& tab) {
    return tab.title.isEmpty() ? tab.url : tab.title;
}

} // namespace pintora
