#include "model/DocumentFile.h"

#include "model/DocumentCodec.h"
#include "model/PintoraDocument.h"
#include "support/TestFiles.h"

#include <QDir>
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

    // A file without tabs opens on the start page of the moment, not of an earlier read.
    const QString noTabs = write("notabs.pintora", "{}");
    EXPECT_EQ(readDocumentFile(noTabs, startPage).value().tabs.value(0).url, startPage);
    EXPECT_EQ(readDocumentFile(noTabs, QString()).value().tabs.value(0).url, "");
}

// What the decoder says of bad content is checked on text in memory; here the file's own faults.
TEST_F(DocumentFileTest, BadFilesFailWithAClearMessage) {
    const QByteArray sample = encodeCanvasStateToBytes(test::sampleState()).value();
    QDir(dir.path()).mkdir(QStringLiteral("folder.pintora"));

    const std::pair<QString, const char*> cases[] = {
        {path("folder.pintora"), "not a regular file"},
        {path("missing.pintora"), "does not exist"},
        {write("empty.pintora", QByteArray()), "empty"},
        {write("truncated.pintora", sample.left(sample.size() / 2)), ""},
        {write("deep.pintora", QByteArray(1'000'000, '[') + QByteArray(1'000'000, ']')),
         "expected a JSON object"},
    };
    for (const auto& [file, messagePart] : cases) {
        SCOPED_TRACE(file.toStdString());
        const auto result = readDocumentFile(file, startPage);
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.error().isEmpty());
        EXPECT_TRUE(result.error().contains(QLatin1StringView(messagePart)))
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
