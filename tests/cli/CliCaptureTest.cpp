// pintora-cli capture, run for real against pages served on 127.0.0.1, with no display.
#include "model/DocumentFile.h"
#include "support/TestFiles.h"
#include "support/TestWebServer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QDir>
#include <QSet>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using namespace pintora;

namespace {

struct CliCaptureTest : ::testing::Test {
    QTemporaryDir dir;
    test::TestWebServer server;

    CliCaptureTest() {
        server.page("/tall", test::TestWebServer::tallPage(2000));
        // A page that never answers.
        server.route("/never", {.hang = true});
    }

    struct Run {
        int exitCode;
        QByteArray err, out;
    };
    // Starts the program while this process keeps serving the page; its settings and browsing
    // profile live in the test's folder.
    std::unique_ptr<QProcess> start(const QStringList& args) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A home of each test's own: the app profile's cookies do not reach the next test.
        const QString home = dir.filePath(QStringLiteral("home"));
        env.insert(QStringLiteral("HOME"), home);
        for (const char* xdg : {"CONFIG", "DATA", "CACHE"})
            env.insert(QStringLiteral("XDG_%1_HOME").arg(xdg),
                       home + u'/' + QString(xdg).toLower());
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(PINTORA_CLI), QStringList{QStringLiteral("capture")} + args);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }
    Run finish(QProcess& process, int timeoutMs = 120000) {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs));
        return {process.exitCode(), process.readAllStandardError(),
                process.readAllStandardOutput()};
    }
    Run capture(const QStringList& args) { return finish(*start(args)); }
    // Captures that must succeed; what they report on the error stream.
    QByteArray ok(const QStringList& args) {
        const Run run = capture(args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run.err;
    }
    QString pngs() const { return dir.filePath(QStringLiteral("pngs")); }
};

} // namespace

TEST_F(CliCaptureTest, SizesBecomeADocumentOfWholePagesInTheirOrder) {
    const QString url = server.url(QStringLiteral("/tall")).toString();
    const QString document = dir.filePath(QStringLiteral("out.pintora"));
    ok({url, "--size", "640x480", "--size", "500x400", "--full-page", "-o", document});
    const auto state = readDocumentFile(document, QString());
    ASSERT_TRUE(state) << state.error().toStdString();
    ASSERT_EQ(state.value().items.size(), 2);
    // In the order given, each the whole page long.
    EXPECT_EQ(state.value().items[0].frame().size(), QSizeF(640, 2000));
    EXPECT_EQ(state.value().items[1].frame().size(), QSizeF(500, 2000));
    EXPECT_EQ(state.value().tabs.value(0).url, url);
}

TEST_F(CliCaptureTest, AnEndlessPageIsCutAndTheCutIsReported) {
    server.page("/endless", test::TestWebServer::tallPage(300000));
    const QByteArray err = ok({server.url(QStringLiteral("/endless")).toString(), "--size",
                               "200x200", "--full-page", "--png-dir", pngs()});
    EXPECT_EQ(QImage(pngs() + QStringLiteral("/Custom 200x200.png")).size(), QSize(200, 40000));
    EXPECT_TRUE(err.contains("the page is 300000 points tall; the picture stops at 40000"))
        << err.toStdString();
}

TEST_F(CliCaptureTest, AListOfAddressesIsWaitedForHiddenScriptedAndReportedAsJson) {
    // A banner to hide, an element that comes 1.2 s after the load, and a script that paints
    // the page green.
    server.page("/late", "<!doctype html><style>body{margin:0;background:#fff}"
                         ".banner{height:50px;background:#f00}</style><body>"
                         "<div class=banner></div><div style='height:1000px'></div><script>"
                         "setTimeout(function(){var d=document.createElement('div');d.id='late';"
                         "d.style.cssText='height:20px;background:#00f';document.body.prepend(d);"
                         "},1200)</script></body>");
    // An error page of the site's own is captured as any page, its status told.
    server.route("/plain",
                 {.status = 404,
                  .body = "<!doctype html><style>body{margin:0}</style><body>"
                          "<div id=late style='height:20px;background:#00f'></div>"
                          "<div class=banner style='height:50px;background:#f00'></div></body>"});
    // The list comes on standard input.
    const auto process =
        start({"--urls", "-", "--size", "300x200", "--wait-for", "#late", "--hide", ".banner",
               "--javascript", "document.body.style.background = 'rgb(0, 255, 0)' // painted",
               "--json", "--png-dir", pngs()});
    process->write("# pages to capture\n\n" + server.url(QStringLiteral("/late")).toEncoded() +
                   "\n  " + server.url(QStringLiteral("/plain?x=1")).toEncoded() + "  \n");
    process->closeWriteChannel();
    const Run run = finish(*process);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QByteArray()) << "no engine noise on stderr";
    const QString host = QStringLiteral("127.0.0.1_%1_").arg(server.url(QString()).port());
    const QStringList names{host + QStringLiteral("late Custom 300x200.png"),
                            host + QStringLiteral("plain_x=1 Custom 300x200.png")};
    for (const QString& name : names) {
        const QImage image(pngs() + QLatin1Char('/') + name);
        ASSERT_EQ(image.size(), QSize(300, 200)) << name.toStdString();
        EXPECT_EQ(image.pixelColor(150, 10), QColor(Qt::blue)) << "waited for #late";
        EXPECT_EQ(image.pixelColor(150, 45), QColor(Qt::green)) << "the banner hidden";
        EXPECT_EQ(image.pixelColor(150, 150), QColor(Qt::green)) << "the script ran";
    }
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    QStringList files;
    for (const QByteArray& line : lines) {
        const QJsonObject picture = QJsonDocument::fromJson(line).object();
        files << QFileInfo(picture.value("file").toString()).fileName();
        EXPECT_EQ(picture.value("status").toInt(), files.last().contains("plain") ? 404 : 200);
        EXPECT_TRUE(picture.value("url").toString().startsWith(server.url(QString()).toString()));
        EXPECT_EQ(picture.value("size").toString(), "300x200");
        EXPECT_EQ(picture.value("pixelHeight").toInt(), 200);
        EXPECT_GT(picture.value("ms").toInt(), 0);
    }
    files.sort();
    EXPECT_EQ(files, names);
}

TEST_F(CliCaptureTest, AnElementAloneInTheColourSchemeAskedForAfterTheDelay) {
    // A card far down the page, green in light and blue in dark, that gains a magenta strip
    // 600 ms after the load.
    server.page("/card", "<!doctype html><style>body{margin:0}#card{position:absolute;left:30px;"
                         "top:900px;width:120px;height:80px;background:#0f0}"
                         "@media (prefers-color-scheme:dark){#card{background:#00f}}</style><body>"
                         "<div id=card></div><div style='height:1500px'></div><script>"
                         "onload=function(){setTimeout(function(){document.getElementById('card')"
                         ".innerHTML=\"<div style='height:10px;background:#f0f'></div>\";},600);}"
                         "</script></body>");
    const QString url = server.url(QStringLiteral("/card")).toString();
    ok({url, "--size", "300x200", "--selector", "#card", "--color-scheme", "dark", "--delay",
        "1500", "--scale", "2", "--png-dir", pngs()});
    const QImage dark(pngs() + QStringLiteral("/Custom 300x200.png"));
    ASSERT_EQ(dark.size(), QSize(240, 160)) << "the card's box at scale 2";
    EXPECT_EQ(dark.pixelColor(120, 10), QColor(Qt::magenta)) << "taken after the delay";
    EXPECT_EQ(dark.pixelColor(120, 100), QColor(Qt::blue));
    EXPECT_EQ(dark.pixelColor(2, 158), QColor(Qt::blue));
    // Phones draw three pixels a point.
    ok({server.url(QStringLiteral("/tall")).toString(), "--size", "100x50", "--scale", "3",
        "--png-dir", pngs()});
    const QImage phone(pngs() + QStringLiteral("/Custom 100x50.png"));
    EXPECT_EQ(phone.size(), QSize(300, 150));
    EXPECT_EQ(phone.pixelColor(150, 75), QColor(Qt::red)) << "the red band at the top";
}

// Loads that fail on both engines; the steps after the load fail alike on either.
TEST_F(CliCaptureTest, PagesThatDoNotLoadOrFailTheirStepsExitWith3NamingTheAddress) {
    server.route("/missing", {.status = 404, .body = "<h1>Not here</h1>"});
    server.route("/report",
                 {.contentType = "application/zip",
                  .body = QByteArray(2000, 'z'),
                  .headers = {"Content-Disposition: attachment; filename=\"report.zip\""}});
    // Its script spins for ever once the page has loaded, before the picture is taken.
    server.page("/spin", "<body onload='setTimeout(function(){for(;;){}},100)'>Busy</body>");
    QTcpServer closed; // a port nobody listens on
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    const QString missing = server.url(QStringLiteral("/missing")).toString();
    const QString report = server.url(QStringLiteral("/report")).toString();
    const QString never = server.url(QStringLiteral("/never")).toString();
    const QString tall = server.url(QStringLiteral("/tall")).toString();
    const struct {
        QStringList args;
        QString message;
        bool bothEngines = false;
    } cases[] = {
        {{refused}, refused + " at Custom (300x200): the page did not load: "
                              "net::ERR_CONNECTION_REFUSED", true},
        {{missing, "--fail-on-http-error"}, missing + " at Custom (300x200): the server answered "
                                                      "HTTP 404", true},
        {{report}, report + " is a download (", true},
        // The step it was in when the time ran out depends on when the script began to spin.
        {{server.url(QStringLiteral("/spin")).toString(), "--delay", "800", "--timeout", "3"},
         " within 3 s", true},
        {{never, "--timeout", "1"},
         never + " at Custom (300x200): the page did not load within 1 s"},
        {{tall, "--wait-for", "#nothing", "--timeout", "1"}, "nothing matched '#nothing'"},
        {{tall, "--javascript", "throw new Error('boom')"}, "the script failed: Error: boom"},
        {{tall, "--javascript", "if ("}, "the script does not parse"},
        {{tall, "--selector", "#nothing"}, "nothing matches '#nothing'"},
        // Accepted by querySelector, yet a rule it starts would swallow the rules after it.
        {{tall, "--hide", ".banner", "--hide", "[title=\"x"}, "'[title=\"x' is not a CSS selector"},
    };
    for (const char* engine : {"chromium", "builtin"}) {
        for (const auto& c : cases) {
            if (!c.bothEngines && engine != std::string_view("chromium")) continue;
            SCOPED_TRACE(engine + (' ' + c.args.join(' ')).toStdString());
            QElapsedTimer clock;
            clock.start();
            const Run run = capture(c.args + QStringList{"--engine", engine, "--size", "300x200",
                                                         "--png-dir", pngs()});
            EXPECT_EQ(run.exitCode, 3);
            EXPECT_TRUE(run.err.contains(c.message.toUtf8())) << run.err.toStdString();
            EXPECT_EQ(run.err.count('\n'), 1) << "one line, Pintora's";
            EXPECT_LT(clock.elapsed(), 15000) << "the time-out was not kept";
        }
        EXPECT_FALSE(QFile::exists(pngs() + QStringLiteral("/Custom 300x200.png")));
    }
}

TEST_F(CliCaptureTest, ALocalPageReadsNoOtherLocalFileOnEitherEngine) {
    // Red when its script could read the file beside it, green when it could not.
    test::writeAll(dir.filePath("secret.txt"), "TOPSECRET");
    test::writeAll(dir.filePath("report.html"),
                   "<body style='margin:0;background:#777'><script>var r=new XMLHttpRequest();"
                   "try{r.open('GET','secret.txt',false);r.send();document.body.style.background="
                   "r.responseText.indexOf('TOPSECRET')>=0?'#f00':'#0f0';}catch(e){"
                   "document.body.style.background='#0f0';}</script></body>");
    for (const char* engine : {"chromium", "builtin"}) {
        SCOPED_TRACE(engine);
        ok({QUrl::fromLocalFile(dir.filePath("report.html")).toString(), "--engine", engine,
            "--size", "200x100", "--png-dir", pngs()});
        EXPECT_EQ(QImage(pngs() + "/Custom 200x100.png").pixelColor(100, 50), QColor(0, 255, 0));
    }
}

TEST_F(CliCaptureTest, TheApplicationsCookiesOnlyWithProfileApp) {
    server.route("/login", {.headers = {"Set-Cookie: who=tester; Max-Age=86400; Path=/"}});
    const auto cookieOf = [&](const char* path) {
        for (const test::TestWebServer::Request& request : server.requests())
            if (request.path == path) return request.cookie;
        return QByteArray("(not asked for)");
    };
    const QStringList common{"--size", "200x100", "--png-dir", pngs()};
    // Logged in with the built-in engine, the application's own browser.
    ok(QStringList{server.url("/login").toString(), "--profile", "app", "--engine", "builtin"} +
       common);
    for (const char* engine : {"builtin", "chromium"}) {
        SCOPED_TRACE(engine);
        const QString app = QStringLiteral("/tall?app-%1").arg(engine);
        const QString fresh = QStringLiteral("/tall?fresh-%1").arg(engine);
        ok(QStringList{server.url(app).toString(), "--profile", "app", "--engine", engine} + common);
        EXPECT_EQ(cookieOf(app.toUtf8()), "who=tester") << "the application's login carries over";
        ok(QStringList{server.url(fresh).toString(), "--engine", engine} + common);
        EXPECT_EQ(cookieOf(fresh.toUtf8()), QByteArray()) << "a fresh profile knows no cookies";
    }
}

namespace {
// The processes a run of the program with this id started, found by the mark its browser and
// every helper of it carry; `browserOnly` keeps the browser itself, not its helpers.
QList<pid_t> browserProcessesOf(qint64 runner, bool browserOnly = false) {
    const QByteArray mark = "PINTORA_BROWSER_RUN=" + QByteArray::number(runner) + '.';
    QList<pid_t> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (!environ.open(QIODevice::ReadOnly) || !environ.readAll().contains(mark)) continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        cmdline.open(QIODevice::ReadOnly);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        stat.open(QIODevice::ReadOnly);
        if (stat.readAll().split(')').value(1).trimmed().startsWith('Z')) continue; // gone
        if (browserOnly && cmdline.readAll().contains("--type=")) continue;
        found << pid_t(entry.toInt());
    }
    return found;
}
} // namespace

TEST_F(CliCaptureTest, NoBrowserProcessOutlivesARunHoweverItEnds) {
    const QString tall = server.url(QStringLiteral("/tall")).toString();
    const QString never = server.url(QStringLiteral("/never")).toString();
    const struct {
        const char* end;
        QString url;
        const char* timeout;
        int signal; // sent once the browser runs; 0 for none
        int exitCode;
        bool toBrowser = false; // the signal kills the browser, not the run
    } ends[] = {
        {"success", tall, "20", 0, 0},
        {"time-out", never, "2", 0, 3},
        {"SIGTERM", never, "20", SIGTERM, 128 + SIGTERM},
        {"Ctrl+C", never, "20", SIGINT, 128 + SIGINT},
        {"the browser dies", never, "20", SIGKILL, 3, true},
    };
    for (const auto& end : ends) {
        SCOPED_TRACE(end.end);
        auto process = start({end.url, "--engine", "chromium", "--timeout", end.timeout,
                              "--size", "300x200", "--png-dir", pngs()});
        const qint64 pid = process->processId();
        QElapsedTimer clock;
        if (end.signal) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !browserProcessesOf(pid, true).isEmpty(); },
                                        20000));
            QTest::qWait(500);
            for (pid_t target : end.toBrowser ? browserProcessesOf(pid, true) : QList{pid_t(pid)})
                ::kill(target, end.signal);
            clock.start();
        }
        const Run run = finish(*process, end.exitCode == 3 ? 60000 : 30000);
        EXPECT_EQ(run.exitCode, end.exitCode) << run.err.toStdString();
        if (end.signal) {
            EXPECT_LT(clock.elapsed(), 10000) << "the run went on waiting";
        }
        if (end.toBrowser) {
            EXPECT_TRUE(run.err.contains((never + " at Custom (300x200): the browser").toUtf8()))
                << run.err.toStdString();
        }
        EXPECT_EQ(browserProcessesOf(pid), QList<pid_t>());
    }
}

TEST_F(CliCaptureTest, ShardsSplitTheListWithNoAddressTwiceAndNoneLeftOut) {
    QByteArray list;
    QSet<QString> all;
    for (int i = 1; i <= 7; ++i) {
        const QString url = server.url(QStringLiteral("/tall?page=%1").arg(i)).toString();
        list += url.toUtf8() + '\n';
        all << url;
    }
    const QString file = dir.filePath(QStringLiteral("urls.txt"));
    test::writeAll(file, list);
    QStringList seen;
    for (const char* shard : {"1/3", "2/3", "3/3"}) {
        const Run run = capture({"--urls", file, "--shard", shard, "--size", "200x100", "--json",
                                 "--png-dir", pngs()});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (const QByteArray& line : run.out.trimmed().split('\n')) {
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            seen << row.value("url").toString();
            EXPECT_EQ(row.value("engine").toString(), "chromium");
            EXPECT_TRUE(row.value("engineVersion").toString().contains('.'));
        }
    }
    EXPECT_EQ(seen.size(), 7);
    EXPECT_EQ(QSet<QString>(seen.begin(), seen.end()), all);
}

TEST_F(CliCaptureTest, ABrowserAlreadyRunningIsReachedAtItsAddressAndLeftRunning) {
    QTemporaryDir profile;
    QProcess browser;
    QStringList flags{"--headless", "--remote-debugging-port=0", "--no-first-run",
                      "--user-data-dir=" + profile.path(), "about:blank"};
    if (geteuid() == 0) flags << "--no-sandbox";
    browser.start(QStringLiteral("chromium"), flags);
    ASSERT_TRUE(browser.waitForStarted());
    QByteArray active;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile file(profile.filePath(QStringLiteral("DevToolsActivePort")));
            if (file.open(QIODevice::ReadOnly)) active = file.readAll();
            return active.count('\n') >= 1 && active.contains("/devtools/");
        },
        20000));
    const QList<QByteArray> lines = active.trimmed().split('\n');
    const QString endpoint = QStringLiteral("ws://127.0.0.1:%1%2")
                                 .arg(QString::fromUtf8(lines.value(0)), QString::fromUtf8(lines.value(1)));
    const Run run = capture({server.url(QStringLiteral("/tall")).toString(), "--browser", endpoint,
                             "--size", "300x200", "--size", "200x300", "--png-dir", pngs()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QImage(pngs() + QStringLiteral("/Custom 200x300.png")).size(), QSize(200, 300));
    EXPECT_EQ(browser.state(), QProcess::Running) << "someone else's browser was closed";
    browser.kill();
    browser.waitForFinished();
}
