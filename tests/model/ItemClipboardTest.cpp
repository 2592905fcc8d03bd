#include "model/ItemClipboard.h"

#include "model/DocumentCodec.h"
#include "model/PintoraDocument.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
// The clipboard as plain memory; the X11 clipboard has its own test.
struct MemoryClipboard : ItemClipboard {
    void writeItems(const QByteArray& json) override {
        *this = MemoryClipboard();
        items = json;
    }
    QByteArray readItems() const override { return items; }
    QList<QImage> readImages() const override { return images; }
    QList<QUrl> readFileURLs() const override { return files; }

    QByteArray items;
    QList<QImage> images;
    QList<QUrl> files;
};

QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    return image;
}

// The copy is the original moved 20 points right and down, under a new id.
void expectOffsetCopy(const CanvasItem& copy, CanvasItem original) {
    EXPECT_NE(copy.id(), original.id());
    original.setFrame(original.frame().translated(20, 20));
    std::visit([&](auto& item) { item.id = copy.id(); }, original.payload());
    EXPECT_EQ(copy, original);
}

struct ItemClipboardTest : ::testing::Test {
    ItemClipboardTest() { document.setState(test::sampleState()); }
    const QList<CanvasItem>& items() const { return document.state().items; }

    PintoraDocument document{QString()};
    QUndoStack* stack = document.undoStack();
    MemoryClipboard clipboard;
};
} // namespace

TEST_F(ItemClipboardTest, CopyThenPasteMakesOffsetCopiesAsOneStep) {
    Selection selection{items()[2].id(), items()[0].id()};
    copySelection(document, selection, clipboard);
    for (int paste = 0; paste < 2; ++paste) {
        ASSERT_EQ(pasteSelection(document, stack, selection, clipboard, {}), PasteResult::items);
        EXPECT_EQ(stack->undoText(), "Paste");
    }
    ASSERT_EQ(items().size(), 7);
    // Both pastes land at the same place, in stacking order rather than the selection's.
    for (int first : {3, 5}) {
        expectOffsetCopy(items()[first], items()[0]);
        expectOffsetCopy(items()[first + 1], items()[2]);
    }
    EXPECT_EQ(selection, (Selection{items()[5].id(), items()[6].id()}));
    stack->undo();
    EXPECT_EQ(items().size(), 5);
}

TEST_F(ItemClipboardTest, CutCopiesAndDeletesAsOneStepButCopyingNothingKeepsTheClipboard) {
    clipboard.images = {picture(3, 3)};
    copySelection(document, Selection{QUuid::createUuid()}, clipboard);
    EXPECT_EQ(clipboard.images.size(), 1); // what was on the clipboard stays

    const CanvasItem cut = items()[1];
    Selection selection{cut.id()};
    cutSelection(document, stack, selection, clipboard);
    EXPECT_EQ(items().size(), 2);
    EXPECT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), "Delete");
    EXPECT_EQ(clipboard.items, encodeItems({cut}).value());
}

TEST_F(ItemClipboardTest, BadItemDataFallsBackToPictures) {
    const QByteArray bad[] = {"", "[]", "not json", "[{\"shape\":{}}]", QByteArray(1'000'000, '[')};
    for (const QByteArray& data : bad) {
        SCOPED_TRACE(data.left(20).toStdString());
        clipboard.items = data;
        clipboard.images = {picture(64, 32)};
        Selection selection;
        ASSERT_EQ(pasteSelection(document, stack, selection, clipboard, {}), PasteResult::pictures);
        EXPECT_EQ(items().last().frame().size(), QSizeF(64, 32));
    }
}

TEST_F(ItemClipboardTest, PastedFilesBecomePicturesWhenTheyArePictures) {
    QTemporaryDir dir;
    const std::pair<const char*, QByteArray> files[] = {{"notes.txt", "hello"},
                                                        {"shot.png", test::pngBytes(30, 20)},
                                                        {"fake.png", "\x89PNG broken"}};
    for (const auto& [name, bytes] : files) {
        test::writeAll(dir.filePath(QLatin1String(name)), bytes);
        clipboard.files.append(QUrl::fromLocalFile(dir.filePath(QLatin1String(name))));
    }
    clipboard.files.append(QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.png"))));
    Selection selection;
    ASSERT_EQ(pasteSelection(document, stack, selection, clipboard, {}), PasteResult::pictures);
    ASSERT_EQ(items().size(), 4);
    // One row below the existing content, left-aligned with it.
    EXPECT_EQ(items().last().frame(), QRectF(0, 800 + 40, 30, 20));

    MemoryClipboard empty;
    EXPECT_EQ(pasteSelection(document, stack, selection, empty, {}), PasteResult::nothing);
    EXPECT_EQ(stack->count(), 1);
}
