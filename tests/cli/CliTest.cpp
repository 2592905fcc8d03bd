// The command-line program, run for real.
#include "export/PngRenderer.h"
#include "model/DocumentFile.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

struct CliRun {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

CliRun cli(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(PINTORA_CLI), args);
    process.waitForFinished(60000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

struct CliTest : ::testing::Test {
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString write(const char* name, const CanvasState& state) const {
        EXPECT_TRUE(writeDocumentFile(path(name), state).isEmpty());
        return path(name);
    }
};

} // namespace

TEST_F(CliTest, InfoSummarisesAGoodDocument) {
    const CanvasState state = test::sampleState();
    const CliRun run = cli({QStringLiteral("info"), write("sample.pintora", state)});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject info = QJsonDocument::fromJson(run.out).object();
    const QJsonArray items = info["items"].toArray();
    ASSERT_EQ(items.size(), state.items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]["frame"]["x"].toDouble(), state.items[i].frame().x());
        EXPECT_EQ(items[i]["frame"]["height"].toDouble(), state.items[i].frame().height());
        EXPECT_EQ(items[i]["id"].toString(), state.items[i].id().toString(QUuid::WithoutBraces));
    }
    // One item of each kind.
    EXPECT_EQ(info["counts"].toObject(), (QJsonObject{{"image", 1}, {"shape", 1}, {"text", 1}}));
    EXPECT_EQ(info["tabs"].toArray().size(), state.tabs.size());
    EXPECT_EQ(info["zoom"].toDouble(), state.zoom);
}

TEST_F(CliTest, BadDocumentsAndArgumentsFailClearly) {
    test::writeAll(path("broken.pintora"), "{\"items\": [");
    const QString url = QStringLiteral("http://127.0.0.1:9/page");
    const QString out = path("x.pintora");
    const struct {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"info", path("broken.pintora")}, 1, "broken.pintora"},
        {{"info"}, 2, "expected 1 argument"},
        {{"info", "--nonsense", path("x")}, 2, "nonsense"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{}, 2, "Usage: pintora-cli"},
        {{"capture", url}, 2, "exactly one of -o"},
        {{"capture", url, "--size", "big", "-o", out}, 2, "not a size"},
        {{"capture", url, "--preset", "No Such Preset", "-o", out}, 2, "no preset named"},
        {{"capture", url, "--scale", "4", "-o", out}, 2, "--scale takes 1, 2 or 3"},
        {{"capture", url, "--engine", "gecko", "-o", out}, 2, "'gecko' is not an engine"},
        {{"capture", url, "--browser", "/nonexistent/chrome", "-o", out}, 2,
         "no browser program at '/nonexistent/chrome'"},
        {{"capture", url, "--shard", "4/3", "-o", out}, 2, "--shard takes K/N"},
        {{"capture", url, "--jobs", "0", "-o", out}, 2, "--jobs takes a number"},
        {{"capture", url, "--color-scheme", "blue", "-o", out}, 2, "--color-scheme takes light"},
        {{"capture", url, "--timeout", "0", "-o", out}, 2, "--timeout takes"},
        {{"capture", url, "--profile", "work", "-o", out}, 2, "--profile takes app"},
        {{"capture", "--urls", path("none.txt"), "-o", out}, 2, "none.txt"},
        {{"capture", "-o", out}, 2, "one URL, or --urls FILE"},
    };
    for (const auto& k : cases) {
        const CliRun run = cli(k.args);
        EXPECT_EQ(run.exitCode, k.exitCode) << k.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(k.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << k.args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
    const CliRun help = cli({QStringLiteral("export"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Usage:"));
}

TEST_F(CliTest, ExportRendersWhatTheApplicationExports) {
    CanvasState state = test::sampleState();
    const QString document = write("sample.pintora", state);
    const CliRun run = cli({QStringLiteral("export"), document, path("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage exported(path("out.png"));
    const QImage expected = renderImage(readDocumentFile(document, QString()).value());
    ASSERT_EQ(exported.size(), expected.size());
    // Compared pixel by pixel but for text edges, which the two processes may hint alike
    // or not: count the pixels that differ noticeably.
    qsizetype differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = exported.pixel(x, y), b = expected.pixel(x, y);
            differing += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                             std::abs(qBlue(a) - qBlue(b)) >
                         24;
        }
    EXPECT_LT(differing, expected.width() * expected.height() / 1000);

    CanvasState empty = state;
    empty.items.clear();
    const CliRun nothing =
        cli({QStringLiteral("export"), write("empty.pintora", empty), path("e.png")});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_TRUE(nothing.err.contains("nothing to export"));
    EXPECT_FALSE(QFile::exists(path("e.png")));
    const CliRun unwritable =
        cli({QStringLiteral("export"), document, path("no/such/folder/out.png")});
    EXPECT_EQ(unwritable.exitCode, 1);
    // A canvas taller than an export may be is refused before anything is drawn.
    empty.items = {makeShape(ShapeKind::rect, {0, 0, 100, 1'200'000})};
    const CliRun tall = cli({QStringLiteral("export"), write("tall.pintora", empty), path("t.png")});
    EXPECT_EQ(tall.exitCode, 1);
    EXPECT_TRUE(tall.err.contains("would export as 148 × 1200048 pixels, more than an export may"))
        << tall.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("t.png")));
}

TEST_F(CliTest, TheVersionAndTheExitCodesAreAtHand) {
    for (const char* option : {"--version", "-V"}) {
        const CliRun run = cli({QString::fromLatin1(option)});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.startsWith("pintora-cli ") && run.out.count('.') == 2)
            << run.out.toStdString();
    }
    const CliRun help = cli({QStringLiteral("--help")});
    for (const char* code : {"  0 ", "  1 ", "  2 ", "  3 ", "  130 "})
        EXPECT_TRUE(help.out.contains(code)) << code;
}
