// pintora-cli capture, run for real against pages served on 127.0.0.1, with no display.
#include "model/DocumentFile.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

struct CliCaptureTest : ::testing::Test {
    QTemporaryDir dir;
    test::TestWebServer server;

    CliCaptureTest() { server.page("/tall", test::TestWebServer::tallPage(2000)); }

    // Runs the program while this process keeps serving the page; its settings and browsing
    // profile live in the test's folder.
    int capture(const QStringList& args, QByteArray* err = nullptr, QByteArray* output = nullptr) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString home = dir.filePath(QStringLiteral("home"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PINTORA_CLI), QStringList{QStringLiteral("capture")} + args);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000));
        if (err) *err = process.readAllStandardError();
        if (output) *output = process.readAllStandardOutput();
        return process.exitCode();
    }
    QString pngs() const { return dir.filePath(QStringLiteral("pngs")); }
};

} // namespace

TEST_F(CliCaptureTest, SizesBecomePicturesAndADocument) {
    const QString url = server.url(QStringLiteral("/tall")).toString();
    const QString pngs = dir.filePath(QStringLiteral("pngs"));
    QByteArray err;
    ASSERT_EQ(
        capture({url, QStringLiteral("--size"), QStringLiteral("640x480"), QStringLiteral("--size"),
                 QStringLiteral("800x600"), QStringLiteral("--png-dir"), pngs},
                &err),
        0)
        << err.toStdString();
    EXPECT_EQ(QImage(pngs + QStringLiteral("/Custom 640x480.png")).size(), QSize(640, 480));
    const QImage wide(pngs + QStringLiteral("/Custom 800x600.png"));
    ASSERT_EQ(wide.size(), QSize(800, 600));
    EXPECT_EQ(wide.pixelColor(400, 5), QColor(Qt::red)) << "the top of the page";

    const QString document = dir.filePath(QStringLiteral("out.pintora"));
    ASSERT_EQ(capture({url, QStringLiteral("--size"), QStringLiteral("500x400"),
                       QStringLiteral("--full-page"), QStringLiteral("-o"), document},
                      &err),
              0)
        << err.toStdString();
    const auto state = readDocumentFile(document, QString());
    ASSERT_TRUE(state) << state.error().toStdString();
    ASSERT_EQ(state.value().items.size(), 1);
    EXPECT_EQ(state.value().items[0].frame().size(), QSizeF(500, 2000)) << "the whole page";
    EXPECT_EQ(state.value().tabs.value(0).url, url);
}

TEST_F(CliCaptureTest, TallPagesComeOutInTilesWithHeadersOnceAndACutIsReported) {
    // 24,000 points at scale 2 takes three grabs: a fixed header, a hero of one viewport and
    // a sticky bar must each show once, where they are at the top of the page.
    server.page("/headers", "<!doctype html><style>body{margin:0}</style><body>"
                            "<div style='position:fixed;top:0;left:0;width:100%;height:40px;"
                            "background:#f0f;z-index:5'></div>"
                            "<section style='height:100vh;background:#f00'></section>"
                            "<div style='position:sticky;top:0;height:30px;background:#0ff'></div>"
                            "<div style='height:23026px;background:#808080'></div>"
                            "<div style='height:100px;background:#00f'></div></body>");
    const QString pngs = dir.filePath(QStringLiteral("pngs"));
    QByteArray err;
    ASSERT_EQ(capture({server.url(QStringLiteral("/headers")).toString(), "--size", "390x844",
                       "--scale", "2", "--full-page", "--png-dir", pngs},
                      &err),
              0)
        << err.toStdString();
    QImageReader::setAllocationLimit(1024); // 780 × 48,000 is past the default
    const QImage image(pngs + QStringLiteral("/Custom 390x844.png"));
    ASSERT_EQ(image.size(), QSize(780, 48000));
    const auto at = [&](int points) { return image.pixelColor(390, points * 2); };
    EXPECT_EQ(at(20), QColor(Qt::magenta));
    EXPECT_EQ(at(500), QColor(Qt::red));
    EXPECT_EQ(at(859), QColor(Qt::cyan)) << "under a hero of one viewport";
    for (int points : {8192 + 20, 8192 + 50, 16384 + 20, 16384 + 50, 23800})
        EXPECT_EQ(at(points), QColor(128, 128, 128)) << points;
    EXPECT_EQ(at(23990), QColor(Qt::blue));
    EXPECT_FALSE(err.contains("cut")) << err.toStdString();

    server.page("/endless", test::TestWebServer::tallPage(300000));
    ASSERT_EQ(capture({server.url(QStringLiteral("/endless")).toString(), "--size", "200x200",
                       "--full-page", "--png-dir", pngs},
                      &err),
              0)
        << err.toStdString();
    EXPECT_EQ(QImage(pngs + QStringLiteral("/Custom 200x200.png")).size(), QSize(200, 40000));
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
    server.page("/plain", "<!doctype html><style>body{margin:0}</style><body>"
                          "<div id=late style='height:20px;background:#00f'></div>"
                          "<div class=banner style='height:50px;background:#f00'></div></body>");
    const QString list = dir.filePath(QStringLiteral("urls.txt"));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# pages to capture\n\n" + server.url(QStringLiteral("/late")).toEncoded() +
               "\n  " + server.url(QStringLiteral("/plain?x=1")).toEncoded() + "  \n");
    file.close();
    QByteArray err;
    QByteArray output;
    ASSERT_EQ(capture({"--urls", list, "--size", "300x200", "--wait-for", "#late", "--hide",
                       ".banner", "--javascript",
                       "document.body.style.background = 'rgb(0, 255, 0)' // painted",
                       "--json", "--png-dir", pngs()},
                      &err, &output),
              0)
        << err.toStdString();
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
    const QList<QByteArray> lines = output.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << output.toStdString();
    QStringList files;
    for (const QByteArray& line : lines) {
        const QJsonObject picture = QJsonDocument::fromJson(line).object();
        files << QFileInfo(picture.value("file").toString()).fileName();
        EXPECT_TRUE(picture.value("url").toString().startsWith(server.url(QString()).toString()));
        EXPECT_EQ(picture.value("size").toString(), "300x200");
        EXPECT_EQ(picture.value("scale").toInt(), 1);
        EXPECT_EQ(picture.value("pixelWidth").toInt(), 300);
        EXPECT_EQ(picture.value("pixelHeight").toInt(), 200);
        EXPECT_GT(picture.value("ms").toInt(), 0);
    }
    files.sort();
    EXPECT_EQ(files, names);
}

TEST_F(CliCaptureTest, AnElementAloneInTheColourSchemeAskedForAfterTheDelay) {
    // A card far down the page, green in light and blue in dark, that gains a magenta strip
    // 600 ms after the load.
    server.page("/card",
                "<!doctype html><style>body{margin:0}#card{position:absolute;left:30px;"
                "top:900px;width:120px;height:80px;background:#0f0}"
                "@media (prefers-color-scheme:dark){#card{background:#00f}}</style><body>"
                "<div id=card></div><div style='height:1500px'></div><script>"
                "onload=function(){setTimeout(function(){document.getElementById('card')"
                ".innerHTML=\"<div style='height:10px;background:#f0f'></div>\";},600);}"
                "</script></body>");
    const QString url = server.url(QStringLiteral("/card")).toString();
    QByteArray err;
    ASSERT_EQ(capture({url, "--size", "300x200", "--selector", "#card", "--color-scheme", "dark",
                       "--delay", "1500", "--scale", "2", "--png-dir", pngs()},
                      &err),
              0)
        << err.toStdString();
    const QImage dark(pngs() + QStringLiteral("/Custom 300x200.png"));
    ASSERT_EQ(dark.size(), QSize(240, 160)) << "the card's box at scale 2";
    EXPECT_EQ(dark.pixelColor(120, 10), QColor(Qt::magenta)) << "taken after the delay";
    EXPECT_EQ(dark.pixelColor(120, 100), QColor(Qt::blue));
    EXPECT_EQ(dark.pixelColor(2, 158), QColor(Qt::blue));

    ASSERT_EQ(capture({url, "--size", "300x200", "--selector", "#card", "--color-scheme",
                       "light", "--png-dir", pngs()},
                      &err),
              0)
        << err.toStdString();
    EXPECT_EQ(QImage(pngs() + QStringLiteral("/Custom 300x200.png")).pixelColor(60, 60),
              QColor(Qt::green));
}

TEST_F(CliCaptureTest, PagesThatTimeOutOrFailTheirStepsExitWith3NamingTheAddress) {
    server.route("/never", [](const test::TestWebServer::Request&) {
        test::TestWebServer::Response response;
        response.hang = true;
        return response;
    });
    const QString never = server.url(QStringLiteral("/never")).toString();
    const QString tall = server.url(QStringLiteral("/tall")).toString();
    struct Case {
        QStringList args;
        QString message;
    };
    const std::vector<Case> cases{
        {{never, "--timeout", "1"}, never + QStringLiteral(" at Custom (300x200): the page did "
                                                           "not load within 1 s")},
        {{tall, "--wait-for", "#nothing", "--timeout", "1"}, "nothing matched '#nothing'"},
        {{tall, "--javascript", "throw new Error('boom')"}, "the script failed: Error: boom"},
        {{tall, "--javascript", "if ("}, "the script does not parse"},
        {{tall, "--selector", "#nothing"}, "nothing matches '#nothing'"},
        // Accepted by querySelector, yet a rule it starts would swallow the rules after it.
        {{tall, "--hide", ".banner", "--hide", "[title=\"x"}, "'[title=\"x' is not a CSS selector"},
    };
    for (const Case& c : cases) {
        QElapsedTimer clock;
        clock.start();
        QByteArray err;
        EXPECT_EQ(capture(c.args + QStringList{"--size", "300x200", "--png-dir", pngs()}, &err), 3)
            << c.args.join(' ').toStdString();
        EXPECT_TRUE(err.contains(c.message.toUtf8())) << err.toStdString();
        EXPECT_LT(clock.elapsed(), 30000) << "the time-out was not kept";
    }
    EXPECT_FALSE(QFile::exists(pngs() + QStringLiteral("/Custom 300x200.png")));
}

TEST_F(CliCaptureTest, TheApplicationsCookiesOnlyWithProfileApp) {
    server.route("/login", [](const test::TestWebServer::Request&) {
        test::TestWebServer::Response response;
        response.body = "<!doctype html><body>in</body>";
        response.headers << "Set-Cookie: who=tester; Max-Age=86400; Path=/";
        return response;
    });
    const auto cookieOf = [&](const char* path) {
        for (const test::TestWebServer::Request& request : server.requests())
            if (request.path == path) return request.cookie;
        return QByteArray("(not asked for)");
    };
    QByteArray err;
    const QStringList common{"--size", "200x100", "--png-dir", pngs()};
    ASSERT_EQ(capture(QStringList{server.url("/login").toString(), "--profile", "app"} + common,
                      &err),
              0)
        << err.toStdString();
    ASSERT_EQ(capture(QStringList{server.url("/tall?app").toString(), "--profile", "app"} + common,
                      &err),
              0)
        << err.toStdString();
    EXPECT_EQ(cookieOf("/tall?app"), "who=tester") << "the application's profile keeps cookies";
    ASSERT_EQ(capture(QStringList{server.url("/tall?fresh").toString()} + common, &err), 0)
        << err.toStdString();
    EXPECT_EQ(cookieOf("/tall?fresh"), QByteArray()) << "a fresh profile knows no cookies";
}

TEST_F(CliCaptureTest, BadArgumentsAreRefusedBeforeAnythingLoads) {
    QByteArray err;
    const QString out = dir.filePath(QStringLiteral("x.pintora"));
    const QString url = server.url(QStringLiteral("/tall")).toString();
    struct Case {
        QStringList args;
        const char* message;
    };
    const std::vector<Case> cases{
        {{url}, "exactly one of -o"},
        {{url, "--size", "big", "-o", out}, "not a size"},
        {{url, "--preset", "No Such Preset", "-o", out}, "no preset named"},
        {{url, "--scale", "3", "-o", out}, "--scale takes 1 or 2"},
        {{url, "--jobs", "0", "-o", out}, "--jobs takes a number"},
        {{url, "--color-scheme", "blue", "-o", out}, "--color-scheme takes light or dark"},
        {{url, "--timeout", "0", "-o", out}, "--timeout takes"},
        {{url, "--delay", "-5", "-o", out}, "--delay takes"},
        {{url, "--profile", "work", "-o", out}, "--profile takes app"},
        {{"--urls", dir.filePath("none.txt"), "-o", out}, "none.txt"},
        {{"-o", out}, "one URL, or --urls FILE"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(capture(k.args, &err), 2) << k.args.join(' ').toStdString();
        EXPECT_TRUE(err.contains(k.message)) << err.toStdString();
    }
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_FALSE(QFile::exists(out));
}
