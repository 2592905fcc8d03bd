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

    // A file without tabs opens on the start page it is read with.
    test::writeAll(path("notabs.pintora"), "{}");
    EXPECT_EQ(readDocumentFile(path("notabs.pintora"), startPage).value().tabs.value(0).url,
              startPage);
}

TEST_F(DocumentFileTest, FailedSaveLeavesTheOldFileIntact) {
    const QString file = path("keep.pintora");
    ASSERT_EQ(writeDocumentFile(file, test::sampleState()), QString());
    const QByteArray before = test::readAll(file);
    CanvasState broken = test::sampleState();
    broken.zoom = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(writeDocumentFile(file, broken).startsWith(QStringLiteral("zoom: ")));
    EXPECT_EQ(test::readAll(file), before);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.pintora")});
    EXPECT_FALSE(
        writeDocumentFile(path("no/such/folder/x.pintora"), test::sampleState()).isEmpty());
}

TEST_F(DocumentFileTest, DocumentTakesWhatItReadsAndKeepsItsStateOnFailure) {
    PintoraDocument document(startPage);
    QSignalSpy changed(&document, &PintoraDocument::stateChanged);
    const CanvasState fresh = document.state();
    test::writeAll(path("bad.pintora"), "{\"zoom\":\"x\"}");
    EXPECT_FALSE(document.readFromFile(path("bad.pintora")).isEmpty());
    EXPECT_EQ(document.state(), fresh);
    EXPECT_EQ(changed.count(), 0);

    const CanvasState sample = test::sampleState();
    ASSERT_EQ(writeDocumentFile(path("good.pintora"), sample), QString());
    EXPECT_EQ(document.readFromFile(path("good.pintora")), QString());
    EXPECT_EQ(document.state(), sample);
    EXPECT_EQ(changed.count(), 1);
}
