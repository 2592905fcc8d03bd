#pragma once

// The rows of a PNG's pixel data as the encoder filters them: the picture's pixels in the file's
// layout, and each row with the filter that leaves the smallest residues.
#include <QImage>
#include <cstddef>
#include <vector>

namespace pintora::png {

// How rows reach the filter: as they are in memory, or repacked from 32-bit pixels.
enum class RowSource { Packed, Xrgb32ToRgb, Argb32ToRgba, Rgba8888ToRgb };

struct Pixels {
    QImage image; // the source, or its converted copy that the rows point into
    // Rows that come before the image's own, in the same layout: a streamed band's view of
    // the band above it. Row 0 is its first.
    QImage above;
    RowSource source = RowSource::Packed;
    int channels = 3;
    int width = 0;
    int height = 0; // the rows above and the image's together
    std::size_t rowBytes() const { return std::size_t(width) * std::size_t(channels); }
    const uchar* line(int y) const {
        return y < above.height() ? above.constScanLine(y)
                                  : image.constScanLine(y - above.height());
    }
};

// Picks the cheapest way to 8-bit RGB or non-premultiplied RGBA rows. The common screenshot
// formats are repacked row by row on the worker threads instead of converted up front.
Pixels preparePixels(const QImage& image);

// Filters consecutive rows, keeping the unfiltered row above for the next one.
class RowFilter {
public:
    RowFilter(const Pixels& px, int firstRow);

    // Writes the next row, 1 + rowBytes bytes, to `out`.
    void filterNext(uchar* out);

private:
    const Pixels& px_;
    int next_;
    std::vector<uchar> zeros_;
    std::vector<uchar> scratch_[2];
    const uchar* prev_ = nullptr;
    std::vector<uchar> residues_ = std::vector<uchar>(4 * px_.rowBytes());
    uchar* const residueRows_[4] = {residues_.data(), residues_.data() + px_.rowBytes(),
                                    residues_.data() + 2 * px_.rowBytes(),
                                    residues_.data() + 3 * px_.rowBytes()};
};

} // namespace pintora::png
