#include "window/CapturePlacement.h"

#include "export/PngEncoder.h"
#include "model/PintoraDocument.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
const QList<QSizeF> threeSizes{{1920, 1080}, {1280, 800}, {390, 844}};
}

TEST(CapturePlacement, RowLayout) {
    struct Case {
        const char* name;
        QList<QSizeF> sizes;
        std::optional<QPointF> at;
        std::optional<QRectF> content;
        QList<QRectF> expected;
    };
    const Case cases[] = {
        {"empty canvas: centred on the view",
         threeSizes,
         std::nullopt,
         std::nullopt,
         {{-1335, -140, 1920, 1080}, {625, 0, 1280, 800}, {1945, -22, 390, 844}}},
        {"below the content, aligned left",
         threeSizes,
         std::nullopt,
         QRectF(100, 50, 600, 300),
         {{100, 390, 1920, 1080}, {2060, 530, 1280, 800}, {3380, 508, 390, 844}}},
        {"dropped at a point",
         {{200, 100}},
         QPointF(0, 0),
         QRectF(0, 0, 5, 5),
         {{-100, -50, 200, 100}}},
        {"nothing to place", {}, std::nullopt, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(layoutCaptureRow(c.sizes, c.at, c.content, QPointF(500, 400)), c.expected);
    }
}

TEST(CapturePlacement, ContentBoundsUseStandardisedFrames) {
    EXPECT_FALSE(contentBoundingBox({}));
    TextItem a, b, dot;
    a.frame = QRectF(100, 100, -50, -20); // really (50, 80, 50, 20)
    b.frame = QRectF(200, 0, 10, 10);
    dot.frame = QRectF(-5, 300, 0, 0); // a zero-size item still counts
    EXPECT_EQ(contentBoundingBox({a}), QRectF(50, 80, 50, 20));
    EXPECT_EQ(contentBoundingBox({a, b, dot}), QRectF(-5, 0, 215, 300));
}

TEST(CapturePlacement, PlacedPicturesAreOneCaptureStepAndTheSelection) {
    PintoraDocument document{QString()};
    Selection selection{QUuid::createUuid()};
    const QList<CapturePicture> pictures{{test::pngBytes(4, 2), {200, 100}},
                                         {test::pngBytes(2, 2), {50, 50}}};
    ASSERT_TRUE(placeCaptures(document, document.undoStack(), selection, pictures, std::nullopt,
                              QPointF(0, 0)));
    const auto& items = document.state().items;
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].frame(), QRectF(-145, -50, 200, 100));
    EXPECT_EQ(items[1].frame(), QRectF(95, -25, 50, 50));
    EXPECT_EQ(items[1].image()->pngData, pictures[1].pngData);
    EXPECT_EQ(items[1].image()->cropRect, QRectF(0, 0, 1, 1));
    EXPECT_EQ(selection, (Selection{items[0].id(), items[1].id()}));
    EXPECT_EQ(document.undoStack()->undoText(), "Capture");
    document.undoStack()->undo();
    EXPECT_TRUE(document.state().items.isEmpty());

    EXPECT_FALSE(placeCaptures(document, document.undoStack(), selection, {}, std::nullopt, {}));
    EXPECT_EQ(document.undoStack()->count(), 1);
}

TEST(CapturePlacement, PictureSizeIsInPoints) {
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(Qt::green);
    image.setDevicePixelRatio(2);
    const auto picture = capturePicture(image);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size, QSizeF(200, 150));
    const QImage read = QImage::fromData(picture->pngData);
    EXPECT_EQ(read.size(), QSize(400, 300)); // pixels kept
    EXPECT_EQ(read.pixel(399, 299), QColor(Qt::green).rgb());
    EXPECT_EQ(picture->pngData, encodePNG(image)); // the fast encoder, not Qt's writer
    EXPECT_FALSE(capturePicture(QImage()));
}
