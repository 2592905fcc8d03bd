// pintora-cli capture, run for real against pages served on 127.0.0.1, with no display.
#include "model/DocumentFile.h"
#include "support/TestWebServer.h"

#include <QDir>
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

    // Runs the program while this process keeps serving the page.
    int capture(const QStringList& args, QByteArray* err = nullptr) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PINTORA_CLI), QStringList{QStringLiteral("capture")} + args);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000));
        if (err) *err = process.readAllStandardError();
        return process.exitCode();
    }
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
        {{"-o", out}, "one URL"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(capture(k.args, &err), 2) << k.args.join(' ').toStdString();
        EXPECT_TRUE(err.contains(k.message)) << err.toStdString();
    }
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_FALSE(QFile::exists(out));
}
