#include "canvas/ScaledPictureCache.h"

#include "canvas/DecodedImageCache.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

// Columns of alternating colours, so block means are easy to predict.
QImage stripes(int w, int h, QColor a, QColor b) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y, x % 2 ? b : a);
    return image;
}

ImageItem itemOf(const QByteArray& png, QRectF frame) {
    return ImageItem{.frame = frame, .pngData = png};
}

} // namespace

TEST(ScaledPictureCache, CopiesAreBlockMeansOverUnevenRatiosAndKeepAlpha) {
    QImage ramp(5, 1, QImage::Format_RGB32);
    for (int x = 0; x < 5; ++x)
        ramp.setPixelColor(x, 0, QColor(x * 50, 0, 0));
    const QImage two = areaDownscaled(ramp, {2, 1});
    EXPECT_EQ(two.pixelColor(0, 0).red(), 25) << "pixels 0 and 1";
    EXPECT_EQ(two.pixelColor(1, 0).red(), 150) << "pixels 2, 3 and 4";
    QImage clear(2, 2, QImage::Format_ARGB32);
    clear.fill(QColor(0, 0, 255, 128));
    const QColor one = areaDownscaled(clear, {1, 1}).pixelColor(0, 0);
    EXPECT_EQ(one.alpha(), 128) << "half-transparent pixels stay half transparent";
    EXPECT_NEAR(one.blue(), 255, 2);
}

TEST(ScaledPictureCache, MemoryStaysWithinItsBudget) {
    const QByteArray png = test::encodePng(stripes(400, 400, Qt::red, Qt::blue));
    const ImageItem a = itemOf(png, {0, 0, 400, 400}), b = itemOf(png, {0, 0, 400, 400}),
                    c = itemOf(png, {0, 0, 400, 400});
    const qint64 copyBytes = QImage(200, 200, QImage::Format_ARGB32_Premultiplied).sizeInBytes();
    ScaledPictureCache cache(2 * copyBytes);
    DecodedImageCache decoded;
    QImage target(200, 200, QImage::Format_RGB32);
    QPainter painter(&target);
    painter.scale(0.5, 0.5);
    for (const ImageItem* item : {&a, &b, &a, &c}) {
        cache.paint(painter, *item, decoded);
        cache.waitForCopies();
    }
    EXPECT_EQ(cache.count(), 2);
    EXPECT_LE(cache.bytes(), 2 * copyBytes);
    EXPECT_TRUE(cache.paint(painter, a, decoded));
    EXPECT_FALSE(cache.paint(painter, b, decoded)) << "b was the least recently used";
    cache.waitForCopies();

    // A continuous zoom over a picture already decoded shows a quick copy at each step: one
    // per picture at a time, counted in the budget, gone when a proper copy comes.
    decoded.image(c.id, c.pngData);
    for (double zoom = 0.49; zoom > 0.1; zoom -= 0.01) {
        painter.resetTransform();
        painter.scale(zoom, zoom);
        cache.paint(painter, c, decoded);
        EXPECT_LE(cache.quickCount(), 1);
        EXPECT_LE(cache.bytes(), 2 * copyBytes);
    }
    cache.waitForCopies();
    EXPECT_EQ(cache.quickCount(), 0);
}

TEST(ScaledPictureCache, FromItsBytesAPictureIsDecodedOnlyInViewAndNotKeptBesideItsCopy) {
    const QImage picture = stripes(400, 200, QColor(200, 0, 0), QColor(0, 0, 200));
    ImageItem item = itemOf(test::encodePng(picture), {0, 0, 400, 200});
    ScaledPictureCache cache;
    DecodedImageCache decoded;
    QSignalSpy ready(&cache, &ScaledPictureCache::copyReady);
    QImage target(300, 150, QImage::Format_RGB32);
    auto draw = [&](double zoom, QPointF at = QPointF(10, 10)) {
        target.fill(Qt::white);
        QPainter painter(&target);
        painter.translate(at);
        painter.scale(zoom, zoom);
        cache.paint(painter, item, decoded);
    };
    const QColor averaged(100, 0, 100), white(Qt::white);

    draw(0.5, QPointF(5000, 0)); // out of view
    cache.waitForCopies();
    EXPECT_EQ(ready.count(), 0);
    EXPECT_EQ(decoded.count(), 0);

    // A box at once, one copy made off the main thread even when asked for twice meanwhile.
    draw(0.5);
    EXPECT_EQ(target.pixelColor(50, 50), QColor(0xDD, 0xDF, 0xE3));
    draw(0.25);
    cache.waitForCopies();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(decoded.count(), 0) << "the full-size picture was not kept";
    draw(0.5);
    EXPECT_EQ(target.pixelColor(9, 50), white);
    EXPECT_EQ(target.pixelColor(10, 50), averaged);
    EXPECT_EQ(target.pixelColor(210, 110), white);
    // Another size shows the copy there is until its own is made.
    draw(0.25);
    EXPECT_EQ(target.pixelColor(50, 40), averaged);
    cache.waitForCopies();
    EXPECT_EQ(cache.count(), 2);

    // At full size the original is decoded; back below it, it goes once the copy is there.
    draw(1);
    EXPECT_EQ(decoded.count(), 1);
    EXPECT_EQ(target.pixelColor(10, 50), QColor(200, 0, 0));
    draw(0.5);
    EXPECT_EQ(decoded.count(), 0);

    // A crop shows only its part of the copy, at the item's frame.
    QImage halves = picture;
    QPainter(&halves).fillRect(0, 0, 200, 200, Qt::green);
    item = itemOf(test::encodePng(halves), {0, 0, 200, 200});
    item.cropRect = QRectF(0.5, 0, 0.5, 1);
    draw(0.5);
    cache.waitForCopies();
    draw(0.5);
    EXPECT_EQ(target.pixelColor(10, 10), averaged);
    EXPECT_EQ(target.pixelColor(110, 10), white);
}

TEST(ScaledPictureCache, APictureInViewOvertakesTheThumbnailsWaitingForCopies) {
    const QByteArray png = test::encodePng(stripes(1600, 1600, Qt::red, Qt::blue));
    QList<ImageItem> items;
    for (int i = 0; i < 24; ++i)
        items.append(itemOf(png, {0, 0, 1600, 1600}));
    ScaledPictureCache cache;
    DecodedImageCache decoded;
    QImage target(200, 200, QImage::Format_RGB32);
    QPainter painter(&target);
    painter.scale(0.01, 0.01);
    for (const ImageItem& item : items)
        cache.paintSmall(painter, item, decoded);
    painter.resetTransform();
    painter.scale(0.1, 0.1);
    const ImageItem& shown = items.last(); // the view then asks for the last one
    EXPECT_FALSE(cache.paint(painter, shown, decoded));
    int before = 0;
    while (!cache.paint(painter, shown, decoded)) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return cache.count() > before; }, 10000));
        before = int(cache.count());
    }
    EXPECT_LE(before, QThread::idealThreadCount() + 1)
        << "copies made for the thumbnail before the one in view";
    painter.end();
    cache.waitForCopies();
}
