#include "shapes/Redaction.h"

#include "export/PngRenderer.h"
#include "model/DocumentFile.h"
#include "support/TestFiles.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

// Pixels no block mean can stand for: every one different from its neighbours.
QImage noise(int width, int height, quint32 seed = 7) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    return image;
}

ImageItem pictureOf(const QImage& image, QRectF frame, QRectF crop = {0, 0, 1, 1}) {
    return ImageItem{.frame = frame, .pngData = test::encodePng(image), .cropRect = crop};
}

// The original with each block of `area` (blocks counted from its corner) filled with the mean
// of the original's pixels there.
QImage pixelated(const QImage& original, const QRect& area) {
    QImage expected = original;
    QPainter painter(&expected);
    const int n = redactBlockPixels;
    for (int by = area.top(); by <= area.bottom(); by += n)
        for (int bx = area.left(); bx <= area.right(); bx += n) {
            const QRect block = QRect(bx, by, n, n) & area;
            double sum[3] = {0, 0, 0};
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x) {
                    const QRgb p = original.pixel(x, y);
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                }
            const double count = double(block.width()) * block.height();
            const auto mean = [&](int c) { return int(std::lround(sum[c] / count)); };
            painter.fillRect(block, QColor(mean(0), mean(1), mean(2)));
        }
    return expected;
}

QImage pictureIn(const CanvasState& state, int index) {
    return QImage::fromData(state.items[index].image()->pngData, "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(Redaction, PixelatesTheBoxInThePicturesOwnPixelsThroughItsFrameAndCrop) {
    // A capture at scale 2 cropped to its right half: the 100 x 150 frame shows pixels
    // 200..399 of 400 x 300, two pixels a point.
    const QImage original = noise(400, 300);
    const ImageItem picture = pictureOf(original, {1000, 1000, 100, 150}, {0.5, 0, 0.5, 1});
    CanvasState state; // a shape over the picture does not shield it
    state.items = {picture, makeShape(ShapeKind::rect, {1000, 1000, 100, 150})};

    // Canvas x 1010..1040 is picture x 220..280; the box runs past the frame's top, which
    // clips it, down to canvas y 1060, picture y 120.
    const QRectF box(1010, 900, 30, 160);
    const auto redacted = redactedState(state, box, RedactStyle::pixelate);
    ASSERT_TRUE(redacted);
    const ImageItem& edited = *redacted->items[0].image();
    EXPECT_NE(edited.id, picture.id) << "new bytes, new id: the caches key pictures by id";
    EXPECT_EQ(edited.frame, picture.frame);
    EXPECT_EQ(edited.cropRect, picture.cropRect);
    EXPECT_EQ(redacted->items[1], state.items[1]);
    EXPECT_TRUE(pictureIn(*redacted, 0) == pixelated(original, QRect(220, 0, 60, 120)));

    EXPECT_FALSE(redactedState(state, {0, 0, 500, 500}, RedactStyle::pixelate))
        << "a box that covers no picture changes nothing";
    // A picture too large to decode is left as it is, and counted, so the user can be told.
    ImageItem huge = picture;
    huge.pngData = test::pngClaimingSize(40'000, 40'000);
    state.items.append(huge);
    int unchanged = 0;
    const auto partly = redactedState(state, box, RedactStyle::pixelate, &unchanged);
    EXPECT_EQ(unchanged, 1);
    ASSERT_TRUE(partly) << "the picture that could be changed still is";
    EXPECT_EQ(partly->items[2], huge);
    // A box running past the frame's right edge takes only the pixels the frame shows.
    EXPECT_EQ(pictureAreaUnder(picture, original.size(), {1090, 1000, 200, 200}),
              QRect(380, 0, 20, 300));
}

TEST(Redaction, NothingOfTheHiddenPixelsSurvivesInTheSavedDocument) {
    const QImage original = noise(120, 96, 11);
    CanvasState state;
    state.items = {pictureOf(original, {0, 0, 120, 96}),
                   pictureOf(noise(60, 60, 3), {200, 0, 60, 60})};
    // One box over both pictures; the second is covered whole.
    const auto redacted = redactedState(state, {0, 0, 300, 300}, RedactStyle::pixelate);
    ASSERT_TRUE(redacted);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("r.pintora"));
    ASSERT_EQ(writeDocumentFile(file, *redacted), QString());
    const auto reopened = readDocumentFile(file, QString());
    ASSERT_TRUE(reopened);
    const QImage saved = pictureIn(reopened.value(), 0);
    EXPECT_TRUE(saved == pixelated(original, original.rect()));
    EXPECT_TRUE(pictureIn(reopened.value(), 1) == pixelated(noise(60, 60, 3), {0, 0, 60, 60}));
    // The export draws the redacted pixels, one to one at the pictures' density.
    const QImage exported = renderImage(reopened.value()).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(exported.copy(int(exportMargin), int(exportMargin), 120, 96), saved);
}

TEST(Redaction, TheBlurIsMadeOfTheBlockMeansAloneAndSmoothAcrossThem) {
    // A 1-pixel checkerboard and a flat grey have the same mean in every block: a blur that
    // kept anything finer than a block would tell them apart.
    QImage checker(48, 48, QImage::Format_RGB32);
    QImage grey(48, 48, QImage::Format_RGB32);
    grey.fill(QColor(127, 127, 127));
    // The left quarter black so that the blur has an edge to smooth.
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            checker.setPixel(x, y, x < 12 || (x + y) % 2 == 0 ? 0xFF000000 : 0xFFFEFEFE);
            if (x < 12) grey.setPixel(x, y, 0xFF000000);
        }
    QImage a = checker;
    redactPixels(a, a.rect(), RedactStyle::blur);
    redactPixels(grey, grey.rect(), RedactStyle::blur);
    EXPECT_EQ(a, grey);
    // Between the black block's centre (x 5.5) and the grey's (17.5) the values climb step by
    // step instead of jumping at the block's edge.
    int steps = 0;
    for (int x = 6; x <= 17; ++x) {
        const int d = qRed(a.pixel(x, 20)) - qRed(a.pixel(x - 1, 20));
        EXPECT_GE(d, 0);
        EXPECT_LE(d, 16);
        steps += d > 0;
    }
    EXPECT_GE(steps, 10);
}
