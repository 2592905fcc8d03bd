#include "support/TestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>
#include <zlib.h>

namespace pintora::test {

QByteArray pngBytes(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return encodePng(image);
}

QByteArray encodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray blankPng(quint32 width, quint32 height, int bitDepth, int colourType) {
    const auto chunk = [](QByteArray& out, const char* type, const QByteArray& data) {
        char length[4];
        qToBigEndian(quint32(data.size()), length);
        out.append(length, 4);
        const QByteArray typed = QByteArray(type, 4) + data;
        out.append(typed);
        char crc[4];
        qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                   uInt(typed.size()))),
                     crc);
        out.append(crc, 4);
    };
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, 0);
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = char(bitDepth);
    header[9] = char(colourType);
    chunk(png, "IHDR", header);
    if (colourType == 3) chunk(png, "PLTE", QByteArray(3 * (1 << std::min(bitDepth, 8)), '\x80'));
    const int channels = colourType == 0 || colourType == 3 ? 1
                         : colourType == 4                  ? 2
                         : colourType == 2                  ? 3
                                                            : 4;
    // Rows of zeros, each with its filter byte, deflated row by row.
    const QByteArray row(qsizetype((qint64(width) * channels * bitDepth + 7) / 8 + 1), 0);
    z_stream zs{};
    deflateInit2(&zs, 1, Z_DEFLATED, 15, 9, Z_RLE);
    QByteArray deflated;
    char buffer[65536];
    for (quint32 y = 0; y <= height; ++y) {
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.constData()));
        zs.avail_in = y < height ? uInt(row.size()) : 0;
        const int flush = y < height ? Z_NO_FLUSH : Z_FINISH;
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buffer);
            zs.avail_out = sizeof buffer;
            deflate(&zs, flush);
            deflated.append(buffer, qsizetype(sizeof buffer - zs.avail_out));
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    chunk(png, "IDAT", deflated);
    chunk(png, "IEND", {});
    return png;
}

QByteArray pngClaimingSize(quint32 width, quint32 height) {
    QByteArray png = pngBytes(2, 2);
    char* ihdr = png.data() + 12; // after the signature and the chunk's length
    qToBigEndian(width, ihdr + 4);
    qToBigEndian(height, ihdr + 8);
    const quint32 crc = crc32(0, reinterpret_cast<const Bytef*>(ihdr), 17);
    qToBigEndian(crc, ihdr + 17);
    return png;
}

CanvasState sampleState() {
    CanvasState state;
    ImageItem image{.frame = QRectF(0, 0, 1280, 800),
                    .pngData = pngBytes(4, 3),
                    .cropRect = QRectF(0.25, 0.125, 0.5, 0.75)};
    ShapeItem arrow = makeShape(ShapeKind::arrow, QRectF(10.5, -20, 300, 40.25));
    arrow.lineWidth = 9;
    arrow.strokeHex = QStringLiteral("#00FF00");
    arrow.hasStartHead = true;
    arrow.calloutHead = CalloutHead::rect;
    arrow.calloutSize = 120;
    TextItem note{
        .frame = QRectF(100, 200, 400, 150),
        .string = QStringLiteral("Look here: \"quoted\" / slashed\nnext line — ünïcödé \t\x01 end"),
        .fontSize = 60,
        .colorHex = QStringLiteral("#7A1F1F"),
        .wraps = true,
        .style = TextStyle::critical};
    state.items = {image, arrow, note};
    state.zoom = 0.75;
    state.panX = -120.5;
    state.panY = 33;
    state.tabs = {BrowserTab{QUuid::createUuid(), QStringLiteral("https://example.org/a/b?c=d"),
                             QStringLiteral("Example")},
                  BrowserTab::withURL(QStringLiteral("https://www.wikipedia.org/"))};
    state.activeTabIndex = 1;
    state.defaultLineWidth = 5;
    state.defaultFontSize = 24;
    state.defaultNoteStyle = TextStyle::success;
    state.lastActiveTabRaw = QStringLiteral("annotate");
    return state;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace pintora::test
