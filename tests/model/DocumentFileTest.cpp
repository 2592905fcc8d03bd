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
