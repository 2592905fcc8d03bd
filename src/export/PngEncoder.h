#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace pintora {

// How the pixel data is deflated. The defaults are what encodePNG uses; the benchmark
// compares them with other zlib levels and strategies.
struct PngDeflateSettings {
    int level = 2;
    int strategy = 0; // Z_DEFAULT_STRATEGY
};

// PNG bytes of the image, 8 bits per channel: RGB when every pixel is opaque, else RGBA with
// non-premultiplied values. Its dots per metre go into a pHYs chunk, as with Qt's writer, so
// a reader gets the same physical size back. Each row takes the filter with the smallest sum
// of absolute differences; the rows are deflated in horizontal bands on up to `threads`
// threads (0: one per core) and joined into one zlib stream. None for a null image.
std::optional<QByteArray> encodePNG(const QImage& image, int threads = 0);
std::optional<QByteArray> encodePNG(const QImage& image, int threads, PngDeflateSettings settings);

} // namespace pintora
