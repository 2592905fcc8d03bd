// Real browsers on the X server: their tabs are listed, their windows listed and captured.
#include "capture/OtherBrowsers.h"
#include "platform/ui/BrowserBridge.h"
#include "platform/ui/X11WindowCapture.h"
#include "support/SessionWriter.h"
#include "support/TestFiles.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

struct OtherBrowsersX11Test : ::testing::Test {
    QTemporaryDir home;
    test::TestWebServer server;

    // A page coloured all over, whose title names it.
    QString page(const char* name) {
        const QByteArray path = QByteArray("/") + name;
        server.page(path,
                    "<html><head><title>Page " + QByteArray(name) +
                        "</title></head><body style='margin:0;background:#1e90ff'></body></html>");
        return server.url(QString::fromLatin1(path)).toString();
    }
    QList<QProcess*> processes;

    ~OtherBrowsersX11Test() override {
        for (QProcess* p : processes) {
            p->terminate();
            if (!p->waitForFinished(3000)) p->kill();
            p->waitForFinished(2000);
            delete p;
        }
    }
    QProcess* start(const QString& program, const QStringList& args) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.remove(QStringLiteral("XDG_CONFIG_HOME")); // the browsers' usual places, in our home
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program, args);
        processes << p;
        return p;
    }
    // Without a profile named, in the usual place, as people start it.
    void startChromium(const QStringList& args) {
        start(QStringLiteral("chromium"),
              QStringList{"--no-first-run", "--no-default-browser-check", "--no-sandbox",
                          "--disable-gpu", "--password-store=basic", "--window-position=0,0",
                          "--window-size=900,700"} +
                  args);
    }
    static bool hasTab(const QList<ImportedTab>& tabs, const QString& url, const QString& app) {
        return std::any_of(tabs.begin(), tabs.end(),
                           [&](const ImportedTab& t) { return t.url == url && t.appName == app; });
    }
};

} // namespace

TEST_F(OtherBrowsersX11Test, ChromiumTabsAndWindowAreListedAndCaptured) {
    // Other browsers list windows only through the window manager's client list.
    start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    QTest::qWait(800);
    const QString url = page("blue");
    startChromium({"--user-data-dir=" + home.filePath(QStringLiteral("chromium")),
                   "--remote-debugging-port=0", url});
    windowCapture::BrowserWindow window{};
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& w : windowCapture::listWindows()) {
                if (w.appName == "Chromium" && w.title.contains(QStringLiteral("Page blue"))) {
                    window = w;
                    return true;
                }
            }
            return false;
        },
        60000))
        << "no Chromium window showing the page";

    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return hasTab(listAllTabs(900, home.path()), url, QStringLiteral("Chromium")); },
        20000))
        << "the DevTools list did not name the page";

    // Partly covered by a window of ours: the capture still shows the page underneath.
    QWidget cover;
    cover.setWindowFlag(Qt::FramelessWindowHint);
    cover.setGeometry(100, 300, 300, 300);
    cover.setStyleSheet(QStringLiteral("background: #ff00ff"));
    cover.show();
    QTest::qWait(500);
    const QColor blue(0x1e, 0x90, 0xff);
    QImage picture;
    // The title can arrive before the page is painted: capture until it shows.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const windowCapture::CaptureResult result = windowCapture::capture(window.id);
            if (!std::holds_alternative<QImage>(result)) return false;
            picture = std::get<QImage>(result);
            return picture.pixelColor(picture.width() / 2, picture.height() - 50) == blue;
        },
        20000))
        << "the page never showed in a capture";
    EXPECT_EQ(picture.pixelColor(200, picture.height() - 150), blue) << "under the covering window";

    const windowCapture::CaptureResult missing = windowCapture::capture(0x7ffffff0);
    ASSERT_TRUE(std::holds_alternative<windowCapture::CaptureError>(missing));
    EXPECT_TRUE(std::holds_alternative<windowCapture::NoBrowserWindow>(
        std::get<windowCapture::CaptureError>(missing)));
}

// Browsers as people start them: no debugging port, no profile named, and the session
// written on the browser's own schedule.
TEST_F(OtherBrowsersX11Test, BothTabsOfBrowsersStartedAsUsualAreListed) {
    const QStringList chromiumPages{page("one"), page("two")};
    const QStringList firefoxPages{page("three"), page("four")};
    startChromium(chromiumPages);
    start(QStringLiteral("firefox-esr"), firefoxPages);
    // A profile of a browser that is not running: what it left must not be listed.
    const QString closed = home.filePath(QStringLiteral(".mozilla/firefox"));
    QDir().mkpath(closed + QStringLiteral("/old.default"));
    test::writeAll(closed + QStringLiteral("/profiles.ini"),
                   "[Profile0]\nName=old\nIsRelative=1\nPath=old.default\n");
    test::writeAll(closed + QStringLiteral("/old.default/sessionstore.jsonlz4"),
                   test::mozLz4(R"({"windows": [{"selected": 1, "tabs": [{"index": 1,
                       "entries": [{"url": "https://closed.example/", "title": "Old"}]}]}]})"));
    QList<ImportedTab> tabs;
    const auto listed = [&](const QStringList& urls, const char* app) {
        return std::all_of(urls.begin(), urls.end(), [&](const QString& url) {
            return hasTab(tabs, url, QString::fromLatin1(app));
        });
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            tabs = listAllTabs(900, home.path());
            return listed(chromiumPages, "Chromium") && listed(firefoxPages, "Firefox");
        },
        120000))
        << "not every tab was listed; found " << tabs.size();
    EXPECT_FALSE(hasTab(tabs, QStringLiteral("https://closed.example/"), QStringLiteral("Firefox")))
        << "a profile no browser holds was read";
}

TEST_F(OtherBrowsersX11Test, WhatCanBeReadIsListedWhateverElseFails) {
    // Running browsers, as /proc tells: a Chromium profile with a damaged session file, one
    // whose DevTools port accepts but never answers (its session file is read instead), one
    // that cannot be read at all, and a Firefox started on a profile named on its command line.
    // Neither a browser's helper process nor another program is a browser, whatever folder its
    // options name.
    QTemporaryDir proc;
    auto process = [&](const char* pid, const char* exe, const QByteArray& option,
                       const QString& profile) {
        const QString dir = proc.filePath(QString::fromLatin1(pid));
        QDir().mkpath(dir);
        QFile::link(QString::fromLatin1(exe), dir + QStringLiteral("/exe"));
        test::writeAll(dir + QStringLiteral("/cmdline"),
                       QByteArray("browser\0", 8) + option + profile.toUtf8() + '\0');
    };
    const QString damaged = home.filePath(QStringLiteral("damaged"));
    QDir().mkpath(damaged + QStringLiteral("/Default/Sessions"));
    test::writeAll(damaged + QStringLiteral("/Default/Sessions/Session_1"),
                   "SNSS\x03\x00\x00\x00\xff\xff!");
    const QString silent = home.filePath(QStringLiteral("silent"));
    QDir().mkpath(silent + QStringLiteral("/Default/Sessions"));
    QTcpServer mute; // takes the connection, never says a word
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost));
    test::writeAll(silent + QStringLiteral("/DevToolsActivePort"),
                   QByteArray::number(mute.serverPort()) + "\n");
    test::SessionWriter saved;
    saved.tabInWindow(1, 1);
    saved.navigation(1, 0, "https://example.org/saved", QStringLiteral("Saved"));
    test::writeAll(silent + QStringLiteral("/Default/Sessions/Session_2"), saved.bytes());
    const QString fox = home.filePath(QStringLiteral("fox"));
    QDir().mkpath(fox + QStringLiteral("/sessionstore-backups"));
    test::writeAll(fox + QStringLiteral("/sessionstore-backups/recovery.jsonlz4"),
                   test::mozLz4(R"({"windows":[{"tabs":[{"entries":[{"url":"https://f/"}]}]}]})"));
    const char* chromium = "/usr/lib/chromium/chromium";
    process("10", chromium, "--user-data-dir=", damaged);
    process("11", chromium, "--user-data-dir=", silent);
    process("12", chromium, "--user-data-dir=", home.filePath(QStringLiteral("does-not-exist")));
    process("13", "/usr/lib/firefox-esr/firefox-esr", QByteArray("--profile\0", 10), fox);
    const QString helper = home.filePath(QStringLiteral("helper"));
    QDir().mkpath(helper + QStringLiteral("/Default/Sessions"));
    test::SessionWriter other;
    other.tabInWindow(1, 1);
    other.navigation(1, 0, "https://helper.example/", QStringLiteral("Helper"));
    test::writeAll(helper + QStringLiteral("/Default/Sessions/Session_3"), other.bytes());
    process("14", chromium, QByteArray("--type=renderer\0--user-data-dir=", 32), helper);
    process("15", "/usr/bin/bash", "--user-data-dir=", helper);
    QDir(proc.path()).mkpath(QStringLiteral("self"));
    const QList<ImportedTab> tabs = listAllTabs(900, home.path(), proc.path());
    EXPECT_EQ(tabs, (QList<ImportedTab>{{"https://f/", "", "Firefox"},
                                        {"https://example.org/saved", "Saved", "Chromium"}}));
}
