#include "model/DocumentFile.h"

#include "model/DocumentCodec.h"
#include "model/PintoraDocument.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using namespace pintora;

namespace {
const QString startPage = QStringLiteral("https://start.example/");

class DocumentFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const {
        test::writeAll(path(name), bytes);
        return path(name);
    }
    QByteArray sampleBytes() const { return encodeCanvasStateToBytes(test::sampleState()).value(); }

    QTemporaryDir dir;
};
} // namespace

TEST_F(DocumentFileTest, SavedDocumentReadsBackEqualAndRewritesIdentically) {
    const CanvasState state = test::sampleState();
    ASSERT_EQ(writeDocumentFile(path("a.pintora"), state), QString());
    const auto read = readDocumentFile(path("a.pintora"), startPage);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read.value(), state);
    ASSERT_EQ(writeDocumentFile(path("b.pintora"), read.value()), QString());
    EXPECT_EQ(test::readAll(path("a.pintora")), test::readAll(path("b.pintora")));
}

TEST_F(DocumentFileTest, BadFilesFailWithAClearMessage) {
    const QByteArray sample = sampleBytes();
    QByteArray invalidUtf8 = R"({"lastActiveTabRaw":"ab)";
    invalidUtf8 += "\xC3\x28\"}";
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919) % 251);
    QDir(dir.path()).mkdir(QStringLiteral("folder.pintora"));
    const QByteArray itemPrefix = R"({"items":[{"text":{"_0":{"frame":[[0,0],[1,1]],"x":)";

    struct Case {
        QString file;
        const char* messagePart;
    };
    const Case cases[] = {
        {path("folder.pintora"), "not a regular file"},
        {path("missing.pintora"), "does not exist"},
        {write("empty.pintora", QByteArray()), "empty"},
        {write("truncated.pintora", sample.left(sample.size() / 2)), ""},
        {write("garbage.pintora", garbage), ""},
        {write("array.pintora", "[1,2,3]"), "expected a JSON object"},
        {write("deep.pintora", QByteArray(1'000'000, '[') + QByteArray(1'000'000, ']')),
         "expected a JSON object"},
        {write("deepmember.pintora",
               itemPrefix + QByteArray(1'000'000, '[') + QByteArray(1'000'000, ']') + "}}}]}"),
         "nested deeper than"},
        {write("utf8.pintora", invalidUtf8), "not valid UTF-8"},
        {write("range.pintora", R"({"panX":-1e999})"), "panX: number out of range"},
        {write("base64.pintora",
               R"({"items":[{"image":{"_0":{"frame":[[0,0],[1,1]],"pngData":"not base64!"}}}]})"),
         "items[0].image._0.pngData: not valid Base64"},
        {write("nocase.pintora", R"({"items":[{}]})"),
         "items[0]: Invalid number of keys found, expected one."},
        {write("twocases.pintora", R"({"items":[{"shape":{"_0":{}},"image":{"_0":{}}}]})"),
         "items[0]: Invalid number of keys found, expected one."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const auto result = readDocumentFile(c.file, startPage);
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.error().isEmpty());
        EXPECT_TRUE(result.error().contains(QLatin1StringView(c.messagePart)))
            << result.error().toStdString();
    }
}

TEST_F(DocumentFileTest, FailedSaveLeavesTheOldFileIntact) {
    const QString file = path("keep.pintora");
    ASSERT_EQ(writeDocumentFile(file, test::sampleState()), QString());
    const QByteArray before = test::readAll(file);

    CanvasState broken = test::sampleState();
    broken.items.append(makeShape(ShapeKind::rect, QRectF(0, 0, 1, 1)));
    broken.items.last().shape()->lineWidth = std::numeric_limits<double>::infinity();
    const QString error = writeDocumentFile(file, broken);
    EXPECT_TRUE(error.contains(QStringLiteral("items[3].shape._0.lineWidth")))
        << error.toStdString();
    EXPECT_EQ(test::readAll(file), before);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.pintora")});

    EXPECT_FALSE(writeDocumentFile(path("no/such/folder/x.pintora"), broken).isEmpty());
}

TEST_F(DocumentFileTest, DocumentPublishesReadsAndKeepsItsStateOnFailure) {
    PintoraDocument document(startPage);
    ASSERT_EQ(document.state().tabs.size(), 1);
    EXPECT_EQ(document.state().tabs[0].url, startPage);

    QSignalSpy about(&document, &PintoraDocument::stateAboutToChange);
    QSignalSpy changed(&document, &PintoraDocument::stateChanged);
    const CanvasState fresh = document.state();
    EXPECT_FALSE(document.readFromFile(write("bad.pintora", "{\"zoom\":\"x\"}")).isEmpty());
    EXPECT_EQ(document.state(), fresh);
    EXPECT_EQ(about.count(), 0);

    const CanvasState sample = test::sampleState();
    ASSERT_EQ(writeDocumentFile(path("good.pintora"), sample), QString());
    // Observers hear "about to change" while the old state is still in place.
    QObject::connect(&document, &PintoraDocument::stateAboutToChange,
                     [&] { EXPECT_EQ(document.state(), fresh); });
    EXPECT_EQ(document.readFromFile(path("good.pintora")), QString());
    EXPECT_EQ(document.state(), sample);
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(changed.count(), 1);

    EXPECT_EQ(document.writeToFile(path("copy.pintora")), QString());
    EXPECT_EQ(test::readAll(path("copy.pintora")), test::readAll(path("good.pintora")));
}

TEST_F(DocumentFileTest, MissingTabsTakeTheStartPageOfTheMoment) {
    const QString file = write("notabs.pintora", "{}");
    const auto first = readDocumentFile(file, QStringLiteral("https://one.example/"));
    const auto second = readDocumentFile(file, QString());
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first.value().tabs.value(0).url, "https://one.example/");
    EXPECT_EQ(second.value().tabs.value(0).url, "");
}
