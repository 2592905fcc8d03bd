#include "export/PngEncoder.h"

#include <QImage>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <set>
#include <zlib.h>

using namespace pintora;

namespace {

// Flat runs, smooth ramps and noise side by side, so every filter wins somewhere.
QImage varied(int width, int height, QImage::Format format, bool translucent) {
    QRandomGenerator rng(quint32(width * 7919 + height));
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int band = (x / 7 + y / 5) % 4;
            int r = 200, g = 30, b = 90;
            if (band == 1) r = x * 3 & 0xff, g = y * 5 & 0xff, b = (x + y) & 0xff;
            if (band == 2) r = int(rng.bounded(256)), g = int(rng.bounded(256)), b = r ^ g;
            if (band == 3) r = g = b = (x * y) & 0xff;
            const int a = translucent ? (x + 2 * y) % 3 == 0 ? 0 : int(rng.bounded(256)) : 255;
            image.setPixel(x, y, qRgba(r, g, b, a));
        }
    return image.convertToFormat(format);
}

quint32 be32(const QByteArray& bytes, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

// The filtered rows the IDAT chunks hold, which must join into one zlib stream of exactly
// `size` bytes. The reader checks the chunks' CRCs and the stream's Adler-32.
std::vector<Bytef> inflatedRows(const QByteArray& png, std::size_t size) {
    QByteArray zlibData;
    for (qsizetype at = 8; at + 12 <= png.size(); at += 12 + be32(png, at))
        if (png.mid(at + 4, 4) == "IDAT") zlibData += png.mid(at + 8, be32(png, at));
    std::vector<Bytef> rows(size + 1);
    uLongf rowsSize = uLongf(rows.size());
    EXPECT_EQ(uncompress(rows.data(), &rowsSize,
                         reinterpret_cast<const Bytef*>(zlibData.constData()),
                         uLong(zlibData.size())),
              Z_OK);
    EXPECT_EQ(rowsSize, size);
    rows.resize(size);
    return rows;
}

} // namespace

// A picture of each way through the encoder, and what the fuzzer's small pictures and few
// threads do not reach; the fuzzer tries every format.
TEST(PngEncoder, RoundTripsPixelsAndDensityExactly) {
    struct Case {
        const char* name;
        QImage image;
        int threads;
        bool alpha; // whether the PNG keeps an alpha channel
    };
    QImage halfTransparent(9, 4, QImage::Format_ARGB32);
    halfTransparent.fill(qRgba(200, 100, 50, 10)); // premultiplying would lose these values
    halfTransparent.setDotsPerMeterX(5669);
    halfTransparent.setDotsPerMeterY(2835);
    halfTransparent.setDevicePixelRatio(1.5);
    // Noise does not deflate: 700 x 500 RGBA takes more than one IDAT chunk.
    QImage noise(700, 500, QImage::Format_ARGB32);
    QRandomGenerator rng(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, rng.generate());
    const Case cases[] = {
        {"noise over several chunks", noise, 3, true},
        {"opaque, odd width", varied(37, 23, QImage::Format_RGB32, false), 2, false},
        {"opaque capture: no alpha channel",
         varied(40, 17, QImage::Format_ARGB32_Premultiplied, false), 2, false},
        {"translucent premultiplied", varied(21, 9, QImage::Format_ARGB32_Premultiplied, true), 3,
         true},
        {"non-premultiplied values and density kept", halfTransparent, 0, true},
        {"translucent RGBA8888", varied(18, 11, QImage::Format_RGBA8888, true), 4, true},
        {"grayscale", varied(26, 8, QImage::Format_Grayscale8, false), 2, false},
        {"more threads than rows", varied(29, 5, QImage::Format_ARGB32, true), 16, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto png = encodePNG(c.image, c.threads);
        ASSERT_TRUE(png);
        const QImage read = QImage::fromData(*png, "PNG");
        EXPECT_EQ(read.hasAlphaChannel(), c.alpha);
        const QImage::Format compared = c.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        EXPECT_EQ(read.convertToFormat(compared), c.image.convertToFormat(compared));
        EXPECT_EQ(read.dotsPerMeterX(), c.image.dotsPerMeterX());
        EXPECT_EQ(read.dotsPerMeterY(), c.image.dotsPerMeterY());
    }
    EXPECT_FALSE(encodePNG(QImage(), 4));
    // Bands and threads change where the deflate data is cut, never the pixels it holds.
    const QImage image = varied(120, 90, QImage::Format_RGB32, false);
    const auto one = encodePNG(image, 1), many = encodePNG(image, 7);
    ASSERT_TRUE(one && many);
    EXPECT_EQ(QImage::fromData(*one, "PNG"), QImage::fromData(*many, "PNG"));
    EXPECT_NE(*one, *many); // 28 bands really were joined
}

TEST(PngEncoder, StreamedBandsJoinIntoOnePicture) {
    // Bands thinner than the rows a band's dictionary takes from those above it, and bands
    // deflated on the caller's thread or on several, all make one valid zlib stream.
    const QImage image = varied(300, 64, QImage::Format_RGB32, false);
    struct Case {
        int bandRows;
        int threads;
    };
    for (const Case c : {Case{1, 1}, Case{3, 3}, Case{50, 2}, Case{64, 4}}) {
        SCOPED_TRACE(testing::Message() << c.bandRows << " rows a band, " << c.threads << " threads");
        PngStreamEncoder encoder(image.width(), image.height(), 2835, {}, c.threads);
        for (int top = 0; top < image.height(); top += c.bandRows)
            ASSERT_TRUE(encoder.addRows(
                image.copy(0, top, image.width(), std::min(c.bandRows, image.height() - top))));
        const auto png = encoder.finish();
        ASSERT_TRUE(png);
        inflatedRows(*png, 64 * (300 * 3 + 1)); // checks the stream's length and Adler-32
        EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32), image);
    }
    PngStreamEncoder tooMany(10, 2, 0);
    EXPECT_FALSE(tooMany.addRows(QImage(10, 3, QImage::Format_RGB32)));
    PngStreamEncoder unfinished(10, 2, 0);
    ASSERT_TRUE(unfinished.addRows(QImage(10, 1, QImage::Format_RGB32)));
    EXPECT_FALSE(unfinished.finish());
}
