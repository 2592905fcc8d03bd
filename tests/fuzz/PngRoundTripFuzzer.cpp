// The PNG encoder against Qt's PNG reader: any picture the bytes describe reads back with the
// same pixels, size, alpha and density.
#include "FuzzCheck.h"
#include "export/PngEncoder.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <cstdint>

using namespace pintora;

namespace {

constexpr std::array formats = {
    QImage::Format_RGB32,    QImage::Format_ARGB32,     QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGBA8888, QImage::Format_RGB888,     QImage::Format_Grayscale8,
    QImage::Format_RGB16,    QImage::Format_Indexed8,   QImage::Format_RGBA8888_Premultiplied,
    QImage::Format_Mono,     QImage::Format_Grayscale16};

// Reads the header bytes first, then the pixels, repeating the bytes when they run out.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return size_ ? data_[at_++ % size_] : 0; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

QImage pictureFrom(Bytes& bytes) {
    const int width = 1 + bytes.next() % 80;
    const int height = 1 + bytes.next() % 80;
    const QImage::Format format = formats[bytes.next() % formats.size()];
    QImage image(width, height, format);
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono) {
        QList<QRgb> table(format == QImage::Format_Mono ? 2 : 1 + bytes.next());
        for (QRgb& entry : table)
            entry = qRgba(bytes.next(), bytes.next(), bytes.next(), bytes.next());
        image.setColorTable(table);
    }
    const qsizetype rowBytes = image.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (qsizetype x = 0; x < rowBytes; ++x)
            row[x] = bytes.next();
    }
    if (format == QImage::Format_Indexed8) {
        for (int y = 0; y < height; ++y) // indices past the table are no picture
            for (int x = 0; x < width; ++x)
                image.scanLine(y)[x] = uchar(image.scanLine(y)[x] % image.colorCount());
    }
    if (format == QImage::Format_RGB32) {
        for (int y = 0; y < height; ++y) // the unused byte is 0xFF in a valid picture
            for (int x = 0; x < width; ++x)
                reinterpret_cast<QRgb*>(image.scanLine(y))[x] |= 0xff000000u;
    }
    if (format == QImage::Format_ARGB32_Premultiplied ||
        format == QImage::Format_RGBA8888_Premultiplied) {
        // No premultiplied component may exceed its alpha.
        for (int y = 0; y < height; ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < width; ++x) {
                uchar* p = row + 4 * x; // alpha is the fourth byte in both formats
                for (int c = 0; c < 3; ++c)
                    p[c] = std::min(p[c], p[3]);
            }
        }
    }
    image.setDotsPerMeterX(1 + bytes.next() * 157);
    image.setDotsPerMeterY(1 + bytes.next() * 157);
    return image;
}

bool hasTranslucentPixel(const QImage& image) {
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < straight.height(); ++y)
        for (int x = 0; x < straight.width(); ++x)
            if (qAlpha(straight.pixel(x, y)) != 255) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes bytes(data, size);
    // Up to three threads: more bands each need a deflate state of their own, slow under ASan.
    const int threads = 1 + bytes.next() % 3;
    const QImage image = pictureFrom(bytes);

    const std::optional<QByteArray> png = encodePNG(image, threads);
    FUZZ_CHECK(png);
    QImage read;
    FUZZ_CHECK(read.loadFromData(*png, "PNG"));
    FUZZ_CHECK(read.size() == image.size());
    FUZZ_CHECK(read.dotsPerMeterX() == image.dotsPerMeterX());
    FUZZ_CHECK(read.dotsPerMeterY() == image.dotsPerMeterY());
    const bool translucent = hasTranslucentPixel(image);
    FUZZ_CHECK(read.hasAlphaChannel() == translucent);
    const QImage::Format compared = translucent ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    FUZZ_CHECK(read.convertToFormat(compared) == image.convertToFormat(compared));

    // The same rows streamed in bands of the input's choosing, as an export sends them: the
    // picture as opaque pixels, whatever its alpha.
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    PngStreamEncoder stream(opaque.width(), opaque.height(), opaque.dotsPerMeterX(), {}, threads);
    for (int top = 0; top < opaque.height();) {
        const int rows = std::min(opaque.height() - top, 1 + int(bytes.next() % 5));
        FUZZ_CHECK(stream.addRows(opaque.copy(0, top, opaque.width(), rows)));
        top += rows;
    }
    const std::optional<QByteArray> streamed = stream.finish();
    FUZZ_CHECK(streamed);
    QImage streamedRead;
    FUZZ_CHECK(streamedRead.loadFromData(*streamed, "PNG"));
    FUZZ_CHECK(streamedRead.convertToFormat(QImage::Format_RGB32) == opaque);
    return 0;
}
