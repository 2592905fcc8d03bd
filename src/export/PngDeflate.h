#pragma once

// The deflate side of the encoder: bands of filtered rows deflated as pieces of one zlib stream,
// and the chunks of the file that the stream and the header go into.
#include "export/PngEncoder.h"
#include "export/PngFilter.h"

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <zlib.h>

namespace pintora::png {

struct Band {
    int firstRow = 0;
    int endRow = 0;
    QByteArray deflated;
    uLong adler = 1;
    uLong length = 0;
    bool ok = false;
};

// How far back deflate's matches reach: a band takes this much of the filtered rows above it
// as its dictionary.
constexpr std::size_t windowBytes = 32768;

// Deflates the band's filtered rows as raw deflate data that ends on a byte boundary: with a
// sync flush so the next band can follow, or as the final block for the last band.
bool deflateBand(const Pixels& px, Band& band, bool last, PngDeflateSettings settings);

void putU32(QByteArray& out, quint32 v);
void putChunk(QByteArray& out, const char* type, const char* data, std::size_t size);
// The PNG's signature and header chunks, before its pixel data.
QByteArray pngHeader(int width, int height, int channels, int dpmX, int dpmY);

// The pixel data: one zlib stream made of the bands' deflate data, in order, written into
// IDAT chunks of up to 1 MB as the bands come, each band's data let go once written.
class PixelData {
public:
    PixelData(QByteArray& png, PngDeflateSettings settings) : png_(png) {
        const uchar cmf = 0x78; // deflate, 32 KiB window
        const int levelFlag = settings.level < 2    ? 0
                              : settings.level < 6  ? 1
                              : settings.level == 6 ? 2
                                                    : 3;
        uchar flg = uchar(levelFlag << 6);
        flg = uchar(flg + (31 - (cmf * 256 + flg) % 31) % 31);
        const char header[2] = {char(cmf), char(flg)};
        append(header, 2);
    }

    void add(Band& band) {
        append(band.deflated.constData(), std::size_t(band.deflated.size()));
        adler_ = adler32_combine(adler_, band.adler, z_off_t(band.length));
        band.deflated = QByteArray();
    }

    // Ends the stream with the Adler-32 of every row, and the file with its last chunk.
    void finish() {
        const char sum[4] = {char(adler_ >> 24), char(adler_ >> 16), char(adler_ >> 8),
                             char(adler_)};
        append(sum, 4);
        closeChunk();
        putChunk(png_, "IEND", nullptr, 0);
    }

private:
    static constexpr std::size_t idatBytes = 1 << 20;

    void append(const char* data, std::size_t size) {
        while (size > 0) {
            if (chunkStart_ < 0) {
                chunkStart_ = png_.size();
                putU32(png_, 0);
                png_.append("IDAT", 4);
            }
            const std::size_t n = std::min(size, idatBytes - inChunk_);
            png_.append(data, qsizetype(n));
            data += n;
            size -= n;
            inChunk_ += n;
            if (inChunk_ == idatBytes) closeChunk();
        }
    }

    void closeChunk() {
        if (chunkStart_ < 0) return;
        auto* length = reinterpret_cast<uchar*>(png_.data() + chunkStart_);
        const quint32 n = quint32(inChunk_);
        length[0] = uchar(n >> 24), length[1] = uchar(n >> 16), length[2] = uchar(n >> 8),
        length[3] = uchar(n);
        const auto* typed = reinterpret_cast<const Bytef*>(png_.constData() + chunkStart_ + 4);
        putU32(png_, quint32(crc32_z(crc32(0, nullptr, 0), typed, inChunk_ + 4)));
        chunkStart_ = -1;
        inChunk_ = 0;
    }

    QByteArray& png_;
    uLong adler_ = adler32(0, nullptr, 0);
    qsizetype chunkStart_ = -1;
    std::size_t inChunk_ = 0;
};

} // namespace pintora::png
