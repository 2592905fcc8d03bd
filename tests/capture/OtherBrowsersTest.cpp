#include "capture/OtherBrowsers.h"

#include "capture/ChromiumSession.h"
#include "capture/FirefoxSession.h"
#include "support/SessionWriter.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
QString appOf(std::optional<qsizetype> browser) {
    return browser ? knownBrowsers()[*browser].appName : QString();
}
} // namespace

TEST(OtherBrowsers, ExecutablesAndWindowsAreRecognised) {
    const struct {
        const char* exe;
        const char* app;
    } executables[] = {// Chrome's binary name inside Chromium's snap.
                       {"/snap/chromium/2890/usr/lib/chromium-browser/chrome", "Chromium"},
                       {"/opt/google/chrome/chrome", "Google Chrome"},
                       {"/usr/lib/firefox-esr/firefox-esr", "Firefox"},
                       {"/usr/bin/gedit", ""}};
    for (const auto& k : executables)
        EXPECT_EQ(appOf(browserForExecutable(QString::fromLatin1(k.exe))), k.app) << k.exe;
    EXPECT_EQ(appOf(browserForWindowClass(QStringLiteral("firefox-esr"))), "Firefox");
    EXPECT_FALSE(browserForWindowClass(QStringLiteral("Gedit")));
}

TEST(OtherBrowsers, OnlyProfilesHeldByALiveProcessAreInUse) {
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("proc/4242"));
    const QString proc = root.filePath(QStringLiteral("proc"));
    const auto profile = [&](const char* name, const char* lock, const char* target) {
        const QString dir = root.filePath(QString::fromLatin1(name));
        QDir().mkpath(dir);
        if (target) QFile::link(QString::fromLatin1(target), dir + u'/' + QLatin1String(lock));
        return dir;
    };
    EXPECT_TRUE(
        profileInUse(profile("fox", "lock", "127.0.1.1:+4242"), BrowserFamily::firefox, proc));
    EXPECT_FALSE(
        profileInUse(profile("crashed", "lock", "127.0.1.1:+4243"), BrowserFamily::firefox, proc));
    EXPECT_FALSE(profileInUse(profile("closed", "lock", nullptr), BrowserFamily::firefox, proc));
    EXPECT_TRUE(profileInUse(profile("chromium", "SingletonLock", "my-host-name-4242"),
                             BrowserFamily::chromium, proc));
    EXPECT_FALSE(profileInUse(profile("odd", "SingletonLock", "my-host-name"),
                              BrowserFamily::chromium, proc));
}

TEST(FirefoxSession, OpenTabsAtTheirCurrentEntries) {
    const QByteArray json = R"({"windows": [
        {"tabs": [{"entries": [{"url": "https://old/", "title": "Old"},
                               {"url": "https://now/", "title": "Now"}], "index": 2},
                  {"entries": [{"url": "https://back/", "title": "Back"},
                               {"url": "https://fwd/", "title": "Fwd"}], "index": 1},
                  {"entries": []}]},
        {"tabs": [{"entries": [{"url": "about:blank"}]}]}],
      "_closedWindows": [{"tabs": [{"entries": [{"url": "https://closed/"}]}]}]})";
    const QByteArray file = test::mozLz4(json);
    const QList<ImportedTab> tabs =
        tabsFromFirefoxSession(decodeMozLz4(file).value_or(""), QStringLiteral("Firefox"));
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_EQ(tabs[0].url, QStringLiteral("https://now/"));
    EXPECT_EQ(tabs[1].title, QStringLiteral("Back"));
    EXPECT_EQ(tabs[2].url, QStringLiteral("about:blank"));

    // Damaged files decode to nothing rather than to garbage.
    EXPECT_FALSE(decodeMozLz4(file.left(file.size() - 5)));
    EXPECT_FALSE(decodeMozLz4(QByteArray("mozLz40\0\xff\xff\xff\x7f", 12) + file.mid(12)));
    EXPECT_FALSE(decodeMozLz4(json));
    EXPECT_TRUE(tabsFromFirefoxSession("not json", QStringLiteral("Firefox")).isEmpty());
}

TEST(FirefoxSession, ProfilesAreFoundThroughProfilesIni) {
    QTemporaryDir root;
    test::writeAll(root.filePath(QStringLiteral("profiles.ini")),
                   "[Profile0]\nName=a\nIsRelative=1\nPath=abc.default\n\n"
                   "[Profile1]\nName=b\nIsRelative=1\nPath=xyz.default-esr\n\n"
                   "[Install4F96D1932A9F858E]\nDefault=xyz.default-esr\n");
    const QStringList profiles = firefoxProfiles(root.path());
    ASSERT_EQ(profiles.size(), 2);
    EXPECT_TRUE(profiles[0].endsWith(QStringLiteral("/xyz.default-esr")))
        << "the installed default first";
    QDir(root.path()).mkpath(QStringLiteral("xyz.default-esr/sessionstore-backups"));
    test::writeAll(
        root.filePath(QStringLiteral("xyz.default-esr/sessionstore-backups/recovery.jsonlz4")),
        test::mozLz4(R"({"windows":[{"tabs":[{"entries":[{"url":"https://p/","title":"P"}]}]}]})"));
    const QList<ImportedTab> tabs = readFirefoxTabs(profiles, QStringLiteral("Firefox"));
    ASSERT_EQ(tabs.size(), 1) << "the profile without a session adds nothing";
    EXPECT_EQ(tabs[0].url, QStringLiteral("https://p/"));
}

TEST(ChromiumSession, OpenTabsInWindowOrderAtTheirSelectedEntries) {
    test::SessionWriter w;
    w.tabInWindow(1, 10);
    w.tabIndex(10, 1);
    w.navigation(10, 0, "https://first/", QStringLiteral("First"));
    w.tabInWindow(1, 11);
    w.tabIndex(11, 0);
    w.navigation(11, 0, "https://a/", QStringLiteral("A"));
    w.navigation(11, 1, "https://b/", QStringLiteral("Bé"));
    w.selected(11, 1);
    w.tabInWindow(2, 12);
    w.navigation(12, 0, "https://closed/", QStringLiteral("Closed"));
    w.closed(12);
    w.tabInWindow(3, 13);
    w.navigation(13, 0, "https://gone/", QString());
    w.windowClosed(3);
    w.tabInWindow(4, 14);
    w.navigation(14, 0, "https://untitled/", QString());
    const QList<ImportedTab> tabs = tabsFromChromiumSession(w.bytes(), QStringLiteral("Chromium"));
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_EQ(tabs[0], (ImportedTab{"https://b/", QStringLiteral("Bé"), "Chromium"}));
    EXPECT_EQ(tabs[1].url, QStringLiteral("https://first/"));
    EXPECT_EQ(tabs[2].title, QString());

    // A file cut in the middle of a record keeps what came before it.
    const QByteArray cut = w.bytes().left(w.bytes().size() - 7);
    EXPECT_EQ(tabsFromChromiumSession(cut, QStringLiteral("Chromium")).size(), 2);
    EXPECT_TRUE(tabsFromChromiumSession("SNSS", QStringLiteral("Chromium")).isEmpty());
    EXPECT_TRUE(tabsFromChromiumSession("garbage!", QStringLiteral("Chromium")).isEmpty());
}

TEST(ChromiumSession, DevToolsPagesAndPort) {
    const QList<ImportedTab> pages = tabsFromDevToolsList(
        R"([{"type":"page","url":"https://a/","title":"A"},
            {"type":"service_worker","url":"https://a/sw.js"},
            {"type":"page","url":"","title":"blank"}])",
        QStringLiteral("Chromium"));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].title, QStringLiteral("A"));
    QTemporaryDir dir;
    EXPECT_FALSE(devToolsPort(dir.path()));
    test::writeAll(dir.filePath(QStringLiteral("DevToolsActivePort")),
                   "9222\n/devtools/browser/x\n");
    EXPECT_EQ(devToolsPort(dir.path()), 9222);
    test::writeAll(dir.filePath(QStringLiteral("DevToolsActivePort")), "99999\n");
    EXPECT_FALSE(devToolsPort(dir.path()));
}
