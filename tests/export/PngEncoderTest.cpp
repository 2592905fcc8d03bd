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
        {"translucent RGBA8888", varied(18, 11, QImage::Format_RGBA8888, true), 4, true},
        {"non-premultiplied values kept", halfTransparent, 2, true},
        {"RGB888", varied(31, 12, QImage::Format_RGB888, false), 2, false},
        {"grayscale", varied(26, 8, QImage::Format_Grayscale8, false), 2, false},
        {"1 x 1", varied(1, 1, QImage::Format_RGB32, false), 0, false},
        {"13 rows in 12 bands", varied(50, 13, QImage::Format_RGB32, false), 3, false},
        {"more threads than rows", varied(29, 5, QImage::Format_ARGB32, true), 16, true},
        {"one thread", varied(64, 30, QImage::Format_RGB32, false), 1, false},
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
}

TEST(PngEncoder, SameImageWhateverTheThreads) {
    // Bands and threads change where the deflate data is cut, never the pixels it holds.
    const QImage image = varied(120, 90, QImage::Format_RGB32, false);
    const auto one = encodePNG(image, 1), many = encodePNG(image, 7);
    ASSERT_TRUE(one && many);
    EXPECT_EQ(decode(*one), decode(*many));
    EXPECT_NE(*one, *many); // 28 bands really were joined
}

TEST(PngEncoder, KeepsPhysicalResolutionAsQtDoes) {
    struct Case {
        const char* name;
        int dotsPerMeterX, dotsPerMeterY;
        qreal devicePixelRatio;
    };
    const Case cases[] = {
        {"Qt's default 96 dpi", 3780, 3780, 1},
        {"two pixels per point", 7559, 7559, 2},
        {"unequal axes", 5669, 2835, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image = varied(20, 10, QImage::Format_ARGB32, true);
        image.setDotsPerMeterX(c.dotsPerMeterX);
        image.setDotsPerMeterY(c.dotsPerMeterY);
        image.setDevicePixelRatio(c.devicePixelRatio);
        const auto png = encodePNG(image);
        ASSERT_TRUE(png);
        const QImage ours = decode(*png);
        EXPECT_EQ(ours.dotsPerMeterX(), c.dotsPerMeterX);
        EXPECT_EQ(ours.dotsPerMeterY(), c.dotsPerMeterY);

        QByteArray qtPng;
        QBuffer buffer(&qtPng);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "PNG"));
        const QImage qts = decode(qtPng);
        EXPECT_EQ(ours.dotsPerMeterX(), qts.dotsPerMeterX());
        EXPECT_EQ(ours.dotsPerMeterY(), qts.dotsPerMeterY());
        EXPECT_EQ(ours.devicePixelRatio(), qts.devicePixelRatio());
    }
}

TEST(PngEncoder, NullImageHasNoPng) {
    EXPECT_FALSE(encodePNG(QImage()));
    EXPECT_FALSE(encodePNG(QImage(), 4));
}

TEST(PngEncoder, WritesAWellFormedPng) {
    struct Case {
        const char* name;
        QImage image;
        quint8 colorType;
        std::size_t idatChunks; // one per MiB of deflate data
    };
    // Noise does not deflate: 700 x 500 RGBA is about 1.4 MB, so two IDAT chunks.
    QImage noise(700, 500, QImage::Format_ARGB32);
    QRandomGenerator rng(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, rng.generate());
    const Case cases[] = {
        {"opaque", varied(61, 45, QImage::Format_RGB32, false), 2, 1},
        {"translucent", varied(61, 45, QImage::Format_ARGB32, true), 6, 1},
        {"large", noise, 6, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto png = encodePNG(c.image, 3);
        ASSERT_TRUE(png);
        const std::vector<Chunk> chunks = chunksOf(*png);
        ASSERT_GE(chunks.size(), 3u);
        EXPECT_EQ(chunks.front().type, "IHDR");
        EXPECT_EQ(chunks.back().type, "IEND");
        EXPECT_TRUE(chunks.back().data.isEmpty());

        const QByteArray& ihdr = chunks.front().data;
        ASSERT_EQ(ihdr.size(), 13);
        EXPECT_EQ(be32(ihdr, 0), quint32(c.image.width()));
        EXPECT_EQ(be32(ihdr, 4), quint32(c.image.height()));
        EXPECT_EQ(ihdr.mid(8),
                  QByteArray::fromRawData("\x08", 1) + char(c.colorType) + QByteArray(3, '\0'));

        QByteArray zlibData;
        std::size_t idats = 0;
        for (const Chunk& chunk : chunks)
            if (chunk.type == "IDAT") {
                zlibData += chunk.data;
                ++idats;
            }
        EXPECT_EQ(idats, c.idatChunks);
        // The joined bands must be one zlib stream, Adler-32 included, of filtered rows.
        const std::size_t rowBytes = std::size_t(c.image.width()) * (c.colorType == 6 ? 4 : 3);
        std::vector<Bytef> rows(std::size_t(c.image.height()) * (rowBytes + 1) + 1);
        uLongf rowsSize = uLongf(rows.size());
        ASSERT_EQ(uncompress(rows.data(), &rowsSize,
                             reinterpret_cast<const Bytef*>(zlibData.constData()),
                             uLong(zlibData.size())),
                  Z_OK);
        ASSERT_EQ(rowsSize, rows.size() - 1);
        std::set<int> filters;
        for (std::size_t at = 0; at < rowsSize; at += rowBytes + 1)
            filters.insert(rows[at]);
        EXPECT_LE(*filters.rbegin(), 4);

        QBuffer buffer;
        buffer.setData(*png);
        QImageReader reader(&buffer);
        EXPECT_EQ(reader.format(), "png");
        EXPECT_EQ(reader.size(), c.image.size());
        EXPECT_FALSE(reader.read().isNull()) << qPrintable(reader.errorString());
    }
}

// A plain reference for one filter: the residues of `row` given the row above (zeros for the
// first), and their sum as signed bytes.
namespace {
std::pair<QByteArray, long> referenceFilter(int type, const QByteArray& row,
                                            const QByteArray& above, int bpp) {
    QByteArray out(row.size(), '\0');
    long sum = 0;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const int x = uchar(row[i]), b = uchar(above[i]);
        const int a = i >= bpp ? uchar(row[i - bpp]) : 0, c = i >= bpp ? uchar(above[i - bpp]) : 0;
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predictions[5] = {0, a, b, (a + b) / 2,
                                    pa <= pb && pa <= pc ? a
                                    : pb <= pc           ? b
                                                         : c};
        out[i] = char(x - predictions[type]);
        sum += std::abs(int(qint8(out[i])));
    }
    return {out, sum};
}
} // namespace

TEST(PngEncoder, EachRowTakesTheFilterWithTheSmallestSum) {
    const QImage images[] = {varied(45, 30, QImage::Format_RGB32, false),
                             varied(38, 25, QImage::Format_ARGB32, true)};
    for (const QImage& image : images) {
        const bool alpha = image.hasAlphaChannel();
        SCOPED_TRACE(alpha ? "RGBA" : "RGB");
        const QImage pixels =
            image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        const int bpp = alpha ? 4 : 3;
        const qsizetype rowBytes = qsizetype(image.width()) * bpp;
        const auto png = encodePNG(image, 3);
        ASSERT_TRUE(png);
        QByteArray zlibData;
        for (const Chunk& chunk : chunksOf(*png))
            if (chunk.type == "IDAT") zlibData += chunk.data;
        std::vector<Bytef> rows(std::size_t(image.height() * (rowBytes + 1)));
        uLongf size = uLongf(rows.size());
        ASSERT_EQ(uncompress(rows.data(), &size, reinterpret_cast<const Bytef*>(zlibData.data()),
                             uLong(zlibData.size())),
                  Z_OK);
        ASSERT_EQ(size, rows.size());

        std::set<int> used;
        QByteArray above(rowBytes, '\0');
        for (int y = 0; y < image.height(); ++y) {
            SCOPED_TRACE(y);
            const auto* line = reinterpret_cast<const char*>(rows.data() + y * (rowBytes + 1));
            const int type = uchar(line[0]);
            ASSERT_LE(type, 4);
            used.insert(type);
            const QByteArray row(reinterpret_cast<const char*>(pixels.constScanLine(y)), rowBytes);
            const auto [residues, sum] = referenceFilter(type, row, above, bpp);
            EXPECT_EQ(QByteArray(line + 1, rowBytes), residues);
            for (int other = 0; other < 5; ++other)
                EXPECT_LE(sum, referenceFilter(other, row, above, bpp).second) << other;
            above = row;
        }
        EXPECT_GE(used.size(), 3u); // the image really exercises several filters
    }
}
