#include "canvas/DecodedImageCache.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(DecodedImageCache, KeepsTheMostRecentlyUsedPicturesWithinItsBudget) {
    // Room for two pictures of 100x100 pixels, 40,000 bytes each.
    DecodedImageCache cache(100000);
    const QByteArray png = test::pngBytes(100, 100);
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();
    EXPECT_EQ(cache.image(a, png).size(), QSize(100, 100));
    cache.image(b, png);
    cache.image(a, png); // a is now the most recent
    cache.image(c, png);
    EXPECT_TRUE(cache.contains(a) && cache.contains(c));
    EXPECT_FALSE(cache.contains(b));
    EXPECT_EQ(cache.bytes(), 80000);
    // The key is the id: the bytes are not looked at again.
    EXPECT_EQ(cache.image(a, QByteArray()).size(), QSize(100, 100));

    // One picture larger than the whole budget is kept alone: it is the one being drawn.
    const QUuid big = QUuid::createUuid();
    EXPECT_EQ(cache.image(big, test::pngBytes(200, 200)).size(), QSize(200, 200));
    EXPECT_EQ(cache.count(), 1);
    EXPECT_EQ(cache.bytes(), 160000);
}

TEST(DecodedImageCache, FailuresAreNotRemembered) {
    DecodedImageCache cache;
    const QUuid id = QUuid::createUuid();
    EXPECT_TRUE(cache.image(id, "not a picture").isNull());
    EXPECT_EQ(cache.count(), 0);
    EXPECT_FALSE(cache.image(id, test::pngBytes(4, 4)).isNull()) << "tried again next time";
}

// Refusing pictures that claim billions of pixels (DocumentFaultTest) must not refuse these.
TEST(DecodedImageCache, AFullPageCaptureDecodes) {
    QImage tall(1920, 17500, QImage::Format_RGB32);
    tall.fill(Qt::gray);
    EXPECT_EQ(DecodedImageCache().image(QUuid::createUuid(), test::encodePng(tall)).size(),
              QSize(1920, 17500));
}
