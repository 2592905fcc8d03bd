#include "window/CapturePlacement.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(CapturePlacement, RowLayout) {
    const QList<QSizeF> sizes{{1920, 1080}, {1280, 800}, {390, 844}};
    const QPointF viewCenter(500, 400);
    // An empty canvas: centred on the view.
    EXPECT_EQ(
        layoutCaptureRow(sizes, std::nullopt, std::nullopt, viewCenter),
        (QList<QRectF>{{-1335, -140, 1920, 1080}, {625, 0, 1280, 800}, {1945, -22, 390, 844}}));
    // Below the content, aligned left.
    EXPECT_EQ(
        layoutCaptureRow(sizes, std::nullopt, QRectF(100, 50, 600, 300), viewCenter),
        (QList<QRectF>{{100, 390, 1920, 1080}, {2060, 530, 1280, 800}, {3380, 508, 390, 844}}));
    // Dropped at a point: centred on it, whatever the content.
    EXPECT_EQ(layoutCaptureRow({{200, 100}}, QPointF(0, 0), QRectF(0, 0, 5, 5), viewCenter),
              (QList<QRectF>{{-100, -50, 200, 100}}));
    EXPECT_TRUE(layoutCaptureRow({}, std::nullopt, std::nullopt, viewCenter).isEmpty());
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

TEST(CapturePlacement, PictureSizeIsInPointsAndKeepsEveryPixel) {
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(Qt::green);
    image.setDevicePixelRatio(2);
    const auto picture = capturePicture(image);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size, QSizeF(200, 150));
    EXPECT_EQ(QImage::fromData(picture->pngData).size(), QSize(400, 300));
    EXPECT_FALSE(capturePicture(QImage()));
}
