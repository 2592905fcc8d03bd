#include "export/PngEncoder.h"

#include <QBuffer>
#include <QImageReader>
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

QImage decode(const QByteArray& png) {
    QBuffer buffer;
    buffer.setData(png);
    QImageReader reader(&buffer, "png");
    return reader.read();
}

quint32 be32(const QByteArray& bytes, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

struct Chunk {
    QByteArray type;
    QByteArray data;
};

// The chunks after the signature, each checked against its CRC.
std::vector<Chunk> chunksOf(const QByteArray& png) {
    std::vector<Chunk> chunks;
    EXPECT_EQ(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = be32(png, at);
        EXPECT_LE(at + 12 + length, png.size());
        const QByteArray typeAndData = png.mid(at + 4, 4 + length);
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typeAndData.constData()),
                                uInt(typeAndData.size()));
        EXPECT_EQ(be32(png, at + 8 + length), quint32(crc)) << typeAndData.left(4).constData();
        chunks.push_back({typeAndData.left(4), typeAndData.mid(4)});
        at += 12 + length;
    }
    return chunks;
}

// The filtered rows held by the IDAT chunks, which must join into one zlib stream (Adler-32
// included) of exactly `size` bytes.
std::vector<Bytef> inflatedRows(const QByteArray& png, std::size_t size) {
    QByteArray zlibData;
    for (const Chunk& chunk : chunksOf(png))
        if (chunk.type == "IDAT") zlibData += chunk.data;
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

TEST(PngEncoder, RoundTripsPixelsExactly) {
    struct Case {
        const char* name;
        QImage image;
        int threads;
        bool alpha; // whether the PNG keeps an alpha channel
    };
    QImage halfTransparent(9, 4, QImage::Format_ARGB32);
    halfTransparent.fill(qRgba(200, 100, 50, 10)); // premultiplying would lose these values
    const Case cases[] = {
        {"opaque, odd width", varied(37, 23, QImage::Format_RGB32, false), 2, false},
        {"opaque with an alpha channel", varied(40, 17, QImage::Format_ARGB32_Premultiplied, false),
         2, false},
        {"translucent ARGB32", varied(33, 19, QImage::Format_ARGB32, true), 2, true},
        {"translucent premultiplied", varied(21, 9, QImage::Format_ARGB32_Premultiplied, true), 3,
         true},
        {"non-premultiplied values kept", halfTransparent, 2, true},
        {"translucent RGBA8888", varied(18, 11, QImage::Format_RGBA8888, true), 4, true},
        {"RGB888", varied(31, 12, QImage::Format_RGB888, false), 2, false},
        {"grayscale", varied(26, 8, QImage::Format_Grayscale8, false), 2, false},
        {"1 x 1", varied(1, 1, QImage::Format_RGB32, false), 0, false},
        {"13 rows in 12 bands", varied(50, 13, QImage::Format_RGB32, false), 3, false},
        {"more threads than rows", varied(29, 5, QImage::Format_ARGB32, true), 16, true},
        {"one pixel wide", varied(1, 40, QImage::Format_ARGB32, true), 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto png = encodePNG(c.image, c.threads);
        ASSERT_TRUE(png);
        const QImage read = decode(*png);
        ASSERT_FALSE(read.isNull());
        EXPECT_EQ(read.hasAlphaChannel(), c.alpha);
        const QImage::Format compared = c.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        EXPECT_EQ(read.convertToFormat(compared), c.image.convertToFormat(compared));
    }
    EXPECT_FALSE(encodePNG(QImage(), 4));
    // Bands and threads change where the deflate data is cut, never the pixels it holds.
    const QImage image = varied(120, 90, QImage::Format_RGB32, false);
    const auto one = encodePNG(image, 1), many = encodePNG(image, 7);
    ASSERT_TRUE(one && many);
    EXPECT_EQ(decode(*one), decode(*many));
    EXPECT_NE(*one, *many); // 28 bands really were joined
}

TEST(PngEncoder, KeepsPhysicalResolution) {
    QImage image = varied(20, 10, QImage::Format_ARGB32, true);
    image.setDotsPerMeterX(5669);
    image.setDotsPerMeterY(2835);
    image.setDevicePixelRatio(1.5);
    const auto png = encodePNG(image);
    ASSERT_TRUE(png);
    const QImage read = decode(*png);
    EXPECT_EQ(read.dotsPerMeterX(), 5669);
    EXPECT_EQ(read.dotsPerMeterY(), 2835);
}

TEST(PngEncoder, ALargeImageIsOneStreamOverSeveralChunks) {
    // Noise does not deflate: 700 x 500 RGBA is about 1.4 MB, so two IDAT chunks of one MiB
    // at most.
    QImage noise(700, 500, QImage::Format_ARGB32);
    QRandomGenerator rng(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, rng.generate());
    const auto png = encodePNG(noise, 3);
    ASSERT_TRUE(png);
    const std::vector<Chunk> chunks = chunksOf(*png);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    EXPECT_EQ(std::count_if(chunks.begin(), chunks.end(),
                            [](const Chunk& k) { return k.type == "IDAT"; }),
              2);
    inflatedRows(*png, std::size_t(noise.height()) * (noise.width() * 4 + 1));
}

TEST(PngEncoder, RowsTakeDifferentFiltersWhereTheyPayOff) {
    // Any filter decodes; the choice only keeps files small. An image of flat runs, ramps and
    // noise makes a per-row choice use several.
    const QImage image = varied(45, 30, QImage::Format_RGB32, false);
    const auto png = encodePNG(image, 3);
    ASSERT_TRUE(png);
    const std::size_t rowBytes = 45 * 3 + 1;
    const std::vector<Bytef> rows = inflatedRows(*png, 30 * rowBytes);
    std::set<int> used;
    for (std::size_t at = 0; at < rows.size(); at += rowBytes)
        used.insert(rows[at]);
    EXPECT_GE(used.size(), 3u);
    EXPECT_LE(*used.rbegin(), 4);
}
