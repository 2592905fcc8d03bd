// Real browsers on the X server: their tabs are listed, their windows listed and captured.
#include "capture/OtherBrowsers.h"
#include "platform/ui/BrowserBridge.h"
#include "platform/ui/X11WindowCapture.h"
#include "support/SessionWriter.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

// Serves one page, coloured all over, whose title names its path.
class PageServer : public QTcpServer {
public:
    PageServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    const QByteArray request = socket->readAll();
                    const QByteArray path = request.split(' ').value(1);
                    const QByteArray body = "<html><head><title>Page " + path.mid(1) +
                                            "</title></head><body style='margin:0;"
                                            "background:#1e90ff'></body></html>";
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1/%2")
            .arg(serverPort())
            .arg(QLatin1StringView(path));
    }
};

struct OtherBrowsersX11Test : ::testing::Test {
    QTemporaryDir home;
    PageServer server;
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
    // Other browsers list windows only through the window manager's client list.
    void startWindowManager() {
        start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QTest::qWait(800);
    }
    // With an empty `profile`, in the usual place, as people start it.
    QProcess* startChromium(const QString& profile, const QStringList& urls, bool debugging) {
        QStringList args{
            QStringLiteral("--no-first-run"),         QStringLiteral("--no-default-browser-check"),
            QStringLiteral("--no-sandbox"),           QStringLiteral("--disable-gpu"),
            QStringLiteral("--password-store=basic"), QStringLiteral("--window-position=0,0"),
            QStringLiteral("--window-size=900,700")};
        if (!profile.isEmpty()) args << QStringLiteral("--user-data-dir=") + profile;
        if (debugging) args << QStringLiteral("--remote-debugging-port=0");
        args << urls;
        return start(QStringLiteral("chromium"), args);
    }
    static std::optional<windowCapture::BrowserWindow> windowOf(const QString& app) {
        for (const auto& w : windowCapture::listWindows()) {
            if (w.appName == app) return w;
        }
        return std::nullopt;
    }
    static bool hasTab(const QList<ImportedTab>& tabs, const QString& url, const QString& app) {
        return std::any_of(tabs.begin(), tabs.end(),
                           [&](const ImportedTab& t) { return t.url == url && t.appName == app; });
    }
};

} // namespace

TEST_F(OtherBrowsersX11Test, ChromiumTabsAndWindowAreListedAndCaptured) {
    startWindowManager();
    const QString url = server.url("blue");
    startChromium(home.filePath(QStringLiteral("chromium")), {url}, true);
    std::optional<windowCapture::BrowserWindow> window;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            window = windowOf(QStringLiteral("Chromium"));
            return window && window->title.contains(QStringLiteral("Page blue"));
        },
        60000))
        << "no Chromium window showing the page";
    EXPECT_EQ(windowCapture::menuTitle(*window).left(11), QStringLiteral("Chromium \u2014 "));

    QList<ImportedTab> tabs;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            tabs = listAllTabs(900, home.path());
            return hasTab(tabs, url, QStringLiteral("Chromium"));
        },
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
            const windowCapture::CaptureResult result = windowCapture::capture(window->id);
            if (!std::holds_alternative<QImage>(result)) return false;
            picture = std::get<QImage>(result);
            return picture.pixelColor(picture.width() / 2, picture.height() - 50) == blue;
        },
        20000))
        << "the page never showed in a capture";
    EXPECT_GE(picture.width(), 800);
    EXPECT_GE(picture.height(), 500);
    EXPECT_EQ(picture.pixelColor(200, picture.height() - 150), blue) << "under the covering window";

    const windowCapture::CaptureResult missing = windowCapture::capture(0x7ffffff0);
    ASSERT_TRUE(std::holds_alternative<windowCapture::CaptureError>(missing));
    EXPECT_TRUE(std::holds_alternative<windowCapture::NoBrowserWindow>(
        std::get<windowCapture::CaptureError>(missing)));
}

TEST_F(OtherBrowsersX11Test, FirefoxTabsComeFromItsSessionStore) {
    const QString profile = home.filePath(QStringLiteral("firefox-profile"));
    QDir().mkpath(profile);
    // Write the session soon rather than after the usual 15 seconds.
    test::writeAll(profile + QStringLiteral("/user.js"),
                   "user_pref(\"browser.sessionstore.interval\", 500);\n"
                   "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n");
    const QString url = server.url("fox");
    start(QStringLiteral("firefox-esr"),
          {QStringLiteral("--profile"), profile, QStringLiteral("--no-remote"), url});
    QList<ImportedTab> tabs;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            tabs = listAllTabs(900, home.path());
            return hasTab(tabs, url, QStringLiteral("Firefox"));
        },
        60000))
        << "the session store never named the page";
}

// Browsers as people start them: no debugging port, no profile named, and the session
// written on the browser's own schedule.
TEST_F(OtherBrowsersX11Test, BothTabsOfBrowsersStartedAsUsualAreListed) {
    const QStringList chromiumPages{server.url("one"), server.url("two")};
    const QStringList firefoxPages{server.url("three"), server.url("four")};
    startChromium(QString(), chromiumPages, false);
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
    EXPECT_TRUE(QDir(home.filePath(QStringLiteral(".config/mozilla/firefox"))).exists() ||
                QDir(home.filePath(QStringLiteral(".mozilla/firefox"))).exists());
}

TEST_F(OtherBrowsersX11Test, WhatCanBeReadIsListedWhateverElseFails) {
    // Three running Chromium profiles, as /proc tells: one with a damaged session file, one
    // whose DevTools port accepts but never answers (its session file is read instead), and
    // one that cannot be read at all.
    QTemporaryDir proc;
    auto process = [&](const char* pid, const QString& profile) {
        QDir(proc.path()).mkpath(QString::fromLatin1(pid));
        QFile::link(QStringLiteral("/usr/lib/chromium/chromium"),
                    proc.filePath(QString::fromLatin1(pid) + QStringLiteral("/exe")));
        test::writeAll(proc.filePath(QString::fromLatin1(pid) + QStringLiteral("/cmdline")),
                       QByteArray("chromium") + '\0' + "--user-data-dir=" + profile.toUtf8() +
                           '\0');
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
    process("10", damaged);
    process("11", silent);
    process("12", home.filePath(QStringLiteral("does-not-exist")));
    const QList<ImportedTab> tabs = listAllTabs(900, home.path(), proc.path());
    ASSERT_EQ(tabs.size(), 1);
    EXPECT_EQ(tabs[0].url, QStringLiteral("https://example.org/saved"));
    EXPECT_EQ(tabs[0].appName, QStringLiteral("Chromium"));
}
