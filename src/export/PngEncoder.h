#pragma once

#include <QByteArray>
#include <QImage>
#include <memory>
#include <optional>

namespace pintora {

// How the pixel data is deflated. The defaults are what encodePNG uses; the benchmark
// compares them with other zlib settings.
struct PngDeflateSettings {
    int level = 3;
    int strategy = 0; // Z_DEFAULT_STRATEGY
    // zlib's deflateTune parameters, all 0 to keep the level's own. Level 3 hashes only the
    // first 6 bytes of each match; hashing the first 32 and accepting any match length
    // finds the long repeats of screenshots, for about 10% less output and 4% more time.
    // Following 16 candidates for each match rather than 32 costs about 1% more output and
    // saves a fifth of the time.
    int goodLength = 8;
    int maxLazy = 32;
    int niceLength = 258;
    int maxChain = 16;
};

// PNG bytes of the image, 8 bits per channel: RGB when every pixel is opaque, else RGBA with
// non-premultiplied values. Its dots per metre go into a pHYs chunk, as with Qt's writer, so
// a reader gets the same physical size back. Each row takes the filter with the smallest sum
// of absolute differences; the rows are deflated in horizontal bands on up to `threads`
// threads (0: one per core) and joined into one zlib stream. None for a null image.
std::optional<QByteArray> encodePNG(const QImage& image, int threads = 0);
std::optional<QByteArray> encodePNG(const QImage& image, int threads, PngDeflateSettings settings);

// An opaque RGB PNG whose rows arrive in horizontal bands, top to bottom, so that only a few
// bands of pixels need exist at a time: the memory is about one band per thread plus the
// compressed output. Each band is filtered and deflated on one of up to `threads` threads
// (0: one per core; 1: on the caller's) while the caller makes the next.
class PngStreamEncoder {
public:
    PngStreamEncoder(int width, int height, int dotsPerMeter, PngDeflateSettings settings = {},
                     int threads = 0);
    ~PngStreamEncoder();
    PngStreamEncoder(const PngStreamEncoder&) = delete;
    PngStreamEncoder& operator=(const PngStreamEncoder&) = delete;

    // The next rows, `width` wide, as 32-bit pixels (alpha ignored); false on an error. The
    // band is shared, not copied: drawing into it again detaches it. Waits while every
    // thread has a band.
    bool addRows(const QImage& band);
    // The PNG once every row has come; none before, or after an error. Waits for the bands
    // still being deflated.
    std::optional<QByteArray> finish();

private:
    struct State;
    int width_;
    int height_;
    int rows_ = 0;
    std::unique_ptr<State> state_;
};

} // namespace pintora
