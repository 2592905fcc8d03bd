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
    const QJsonArray items = info[QStringLiteral("items")].toArray();
    ASSERT_EQ(items.size(), state.items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QJsonObject item = items[i].toObject();
        const QJsonObject frame = item[QStringLiteral("frame")].toObject();
        EXPECT_EQ(frame[QStringLiteral("x")].toDouble(), state.items[i].frame().x());
        EXPECT_EQ(frame[QStringLiteral("height")].toDouble(), state.items[i].frame().height());
        EXPECT_EQ(item[QStringLiteral("id")].toString(),
                  state.items[i].id().toString(QUuid::WithoutBraces));
    }
    const QJsonObject counts = info[QStringLiteral("counts")].toObject();
    EXPECT_EQ(counts[QStringLiteral("image")].toInt() + counts[QStringLiteral("shape")].toInt() +
                  counts[QStringLiteral("text")].toInt(),
              state.items.size());
    EXPECT_EQ(info[QStringLiteral("tabs")].toArray().size(), state.tabs.size());
    EXPECT_EQ(info[QStringLiteral("zoom")].toDouble(), state.zoom);
    EXPECT_EQ(info[QStringLiteral("defaults")][QStringLiteral("fontSize")].toDouble(),
              state.defaultFontSize);
}

TEST_F(CliTest, BadDocumentsAndArgumentsFailClearly) {
    test::writeAll(path("broken.pintora"), "{\"items\": [");
    struct Case {
        QStringList args;
        int exitCode;
        const char* message;
    };
    const std::vector<Case> cases{
        {{QStringLiteral("info"), path("broken.pintora")}, 1, "broken.pintora"},
        {{QStringLiteral("info"), path("missing.pintora")}, 1, "missing.pintora"},
        {{QStringLiteral("info")}, 2, "expected 1 argument"},
        {{QStringLiteral("export"), path("broken.pintora")}, 2, "expected 2 argument"},
        {{QStringLiteral("info"), QStringLiteral("--nonsense"), path("x")}, 2, "nonsense"},
        {{QStringLiteral("frobnicate")}, 2, "unknown command 'frobnicate'"},
        {{}, 2, "Usage: pintora-cli"},
    };
    for (const Case& k : cases) {
        const CliRun run = cli(k.args);
        EXPECT_EQ(run.exitCode, k.exitCode) << k.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(k.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << k.args.join(' ').toStdString();
    }
    for (const char* command : {"info", "export"}) {
        const CliRun help = cli({QString::fromLatin1(command), QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.out.contains("Usage:")) << command;
    }
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
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QColor a = exported.pixelColor(x, y), b = expected.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) >
                24)
                ++differing;
        }
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
}
