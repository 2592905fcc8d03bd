#include "export/PngRenderer.h"

#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "model/Geometry.h"
#include "support/TestFiles.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace pintora;
using test::near;

namespace {

const QColor red(0xFF, 0x3B, 0x30), white(Qt::white);

ShapeItem box(QRectF frame, bool filled, double lineWidth = 3) {
    ShapeItem shape = makeShape(ShapeKind::rect, frame);
    shape.filled = filled;
    shape.lineWidth = lineWidth;
    return shape;
}

CanvasState stateOf(std::initializer_list<CanvasItem> items) {
    CanvasState state;
    state.items = items;
    return state;
}

// The colour at a canvas point of an export whose box starts at `origin`.
QColor at(const QImage& image, QPointF canvas, QPointF origin = {-exportMargin, -exportMargin}) {
    const QPointF p = (canvas - origin) * image.devicePixelRatio();
    return image.pixelColor(int(p.x()), int(p.y()));
}

} // namespace

TEST(PngRenderer, TheContentBoxGrownByTheMarginOnWhite) {
    const QImage image =
        renderImage(stateOf({box({0, 0, 100, 50}, true), box({250, 150, -50, -50}, true)}));
    EXPECT_EQ(image.size(), QSize(298, 198));
    EXPECT_EQ(renderImage(stateOf({box({0, 0, 100, 50}, false, 6), box({200, 100, 50, 50}, false)}))
                  .size(),
              QSize(298, 198))
        << "outlines the margin holds do not grow the box";
    EXPECT_EQ(image.pixelColor(24, 24), red) << "canvas (0, 0)";
    EXPECT_EQ(image.pixelColor(23, 23), white);
    EXPECT_EQ(image.pixelColor(24 + 225, 24 + 125), red) << "the flipped frame, standardised";
    EXPECT_EQ(image.pixelColor(24 + 150, 24 + 25), white);
}

TEST(PngRenderer, UnfilledBoxesAreStrokedOnTheEdgeInExportsAndInsideOnCanvas) {
    const ShapeItem shape = box({0, 0, 100, 100}, false, 10);
    const QImage exported = renderImage(stateOf({shape}));
    const QPointF origin(-exportMargin, -exportMargin);
    EXPECT_TRUE(near(at(exported, {-4, 50}, origin), red)) << "half the stroke outside";
    EXPECT_TRUE(near(at(exported, {4, 50}, origin), red));
    EXPECT_EQ(at(exported, {6, 50}, origin), white);
    EXPECT_EQ(at(exported, {-6, 50}, origin), white);

    QImage canvas(120, 120, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.translate(10, 10);
    paintShape(painter, shape, PaintTarget::canvas);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(10 - 2, 60), white) << "nothing outside the frame";
    EXPECT_TRUE(near(canvas.pixelColor(10 + 8, 60), red));
    EXPECT_EQ(canvas.pixelColor(10 + 12, 60), white);
}

TEST(PngRenderer, PicturesShowTheirCropAndKeepTheirDensity) {
    // Left half blue, right half green, 200 × 100 pixels placed at two pixels per point.
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            picture.setPixelColor(x, y, Qt::green);
    ImageItem image{.frame = QRectF(0, 0, 100, 50), .pngData = test::encodePng(picture)};
    QImage exported = renderImage(stateOf({image}));
    EXPECT_EQ(exported.size(), QSize(296, 196)) << "two pixels a point";
    EXPECT_EQ(at(exported, {25, 25}), QColor(Qt::blue));
    image.cropRect = QRectF(0.5, 0, 0.5, 1);
    exported = renderImage(stateOf({image}));
    EXPECT_EQ(at(exported, {2, 25}), QColor(Qt::green)) << "only the right half shows";
    EXPECT_EQ(cropSourceRect({-0.2, 1.3, 0, 2}, {200, 100}, true), QRectF(0, 100, 0.2, 100));
}

// Bytes that are no picture at all: DocumentFaultTest covers a picture too large to decode.
TEST(PngRenderer, APictureThatDoesNotDecodeIsLeftOut) {
    ImageItem broken{.frame = QRectF(0, 0, 100, 100),
                     .pngData = QByteArrayLiteral("\x89PNG but not really")};
    const QImage image = renderImage(stateOf({broken, box({200, 0, 10, 10}, true)}));
    EXPECT_EQ(image.size(), QSize(258, 148)) << "its frame still counts, at one pixel a point";
    EXPECT_EQ(at(image, {50, 50}), white);
}

TEST(PngRenderer, ArrowsPointFromStartToEnd) {
    // Dragged to the left: the head sits at the stored end point. Head side 16: near the end
    // the head is wider than the shaft.
    ShapeItem arrow = makeShape(ShapeKind::arrow, {200, 200, -200, 0});
    arrow.lineWidth = 4;
    const CanvasState state = stateOf({arrow});
    const QImage image = renderImage(state);
    const QPointF origin = exportBox(state)->topLeft();
    EXPECT_TRUE(near(at(image, {8, 204}, origin), red)) << "head at the end";
    EXPECT_EQ(at(image, {192, 205}, origin), white) << "no head at the start";
    EXPECT_TRUE(near(at(image, {150, 200}, origin), red)) << "shaft";
}

// How much red ink the picture holds, in pixels' worth: antialiased edges count by coverage, so
// the sum does not depend on where the picture's pixel grid falls.
double redInk(const QImage& image) {
    double ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() == 255) ink += (255 - c.green()) / 255.0; // the blue dots apart
        }
    return ink;
}

TEST(PngRenderer, WhatIsDrawnBeyondTheMarginGrowsTheBoxAndIsNeverCut) {
    // Each of these draws past its frame by more than the margin.
    ShapeItem callout = makeShape(ShapeKind::callout, {0, 0, 200, 0}); // head centred on the end
    callout.calloutSize = 120;
    ShapeItem filledHead = callout;
    filledHead.filled = true;
    filledHead.calloutHead = CalloutHead::rect;
    ShapeItem arrow = makeShape(ShapeKind::arrow, {0, 0, -300, 0}); // wings across a flat frame
    arrow.lineWidth = 20;
    arrow.hasStartHead = true;
    ShapeItem thick = box({0, 0, 100, 100}, false, 60);
    // Far-off blue dots make a box with room all round: the shape drawn there is the whole one.
    ShapeItem before = box({-1000, -1000, 2, 2}, true), after = box({1000, 1000, 2, 2}, true);
    before.strokeHex = after.strokeHex = QStringLiteral("#0000FF");
    for (const ShapeItem& shape : {callout, filledHead, arrow, thick}) {
        SCOPED_TRACE(int(shape.kind));
        const CanvasState state = stateOf({shape});
        const QImage image = renderImage(state);
        const QRectF margined =
            standardized(shape.frame)
                .adjusted(-exportMargin, -exportMargin, exportMargin, exportMargin);
        EXPECT_NE(image.size(), margined.size().toSize()) << "the box grew";
        const double whole = redInk(renderImage(stateOf({before, shape, after})));
        EXPECT_NEAR(redInk(image), whole, whole * 0.002);
        const QImage thumb = renderThumbnail(state, QSize(96, 56));
        EXPECT_EQ(thumb.size().boundedTo(QSize(96, 56)), thumb.size()) << "the thumbnail fits";
    }
}

TEST(PngRenderer, TheThumbnailFitsItsSizeAndTakesPicturesFromTheirCopies) {
    ImageItem picture{.frame = QRectF(0, 0, 2000, 1000),
                      .pngData = test::pngBytes(2000, 1000, QColor(0, 0, 255))};
    const CanvasState state = stateOf({picture, box({2100, 0, 900, 1000}, true)});
    const QImage first = renderThumbnail(state, QSize(96, 56));
    EXPECT_EQ(first.size(), QSize(96, 34)) << "3048 x 1048 points scaled to 96 wide";
    EXPECT_TRUE(near(first.pixelColor(80, 17), red)) << "shapes are drawn at once";
    EXPECT_NE(first.pixelColor(30, 17), QColor(0, 0, 255)) << "a box while the copy is made";
    ScaledPictureCache::shared().waitForCopies();
    EXPECT_TRUE(near(renderThumbnail(state, QSize(96, 56)).pixelColor(30, 17), QColor(0, 0, 255)));
    EXPECT_FALSE(DecodedImageCache::shared().contains(picture.id))
        << "the picture was never kept at full size";
    EXPECT_TRUE(renderThumbnail(CanvasState(), QSize(96, 56)).isNull());
}

TEST(PngRenderer, ThePNGIsRenderedInBandsExactlyAsTheWholePicture) {
    // 8,000 points wide: about 1,000 rows per band, so three bands, every item across an edge.
    ImageItem picture;
    picture.frame = QRectF(100, 700, 3001.5, 900.25); // scaled and filtered
    picture.pngData = test::pngBytes(1000, 300, QColor(20, 140, 60));
    const CanvasState state = stateOf(
        {picture, makeShape(ShapeKind::ellipse, {3500, 200, 2000, 2200}),
         makeShape(ShapeKind::arrow, {6000, 100, 1500, 2300}), box({0, 0, 7952, 2400}, false)});
    const QImage whole = renderImage(state);
    ASSERT_EQ(whole.size(), QSize(8000, 2448));
    const auto png = renderPNG(state);
    ASSERT_TRUE(png);
    const QImage banded = QImage::fromData(*png, "PNG");
    EXPECT_EQ(banded.dotsPerMeterX(), whole.dotsPerMeterX());
    EXPECT_TRUE(banded.convertToFormat(QImage::Format_RGB32) ==
                whole.convertToFormat(QImage::Format_RGB32));
}
