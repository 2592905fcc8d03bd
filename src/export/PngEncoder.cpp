#include "export/PngEncoder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>
#include <zlib.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

namespace pintora {

namespace {

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

bool argb32Opaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        quint32 all = 0xff000000u;
        for (int x = 0; x < image.width(); ++x)
            all &= row[x];
        if (all < 0xff000000u) return false;
    }
    return true;
}

bool rgba8888Opaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        uchar all = 0xff;
        for (int x = 0; x < image.width(); ++x)
            all &= row[4 * x + 3];
        if (all != 0xff) return false;
    }
    return true;
}

// Picks the cheapest way to 8-bit RGB or non-premultiplied RGBA rows. The common screenshot
// formats are repacked row by row on the worker threads instead of converted up front.
Pixels preparePixels(const QImage& image) {
    Pixels px;
    px.width = image.width();
    px.height = image.height();
    const QImage::Format format = image.format();
    if (!image.hasAlphaChannel()) {
        if (format == QImage::Format_RGB888) {
            px.image = image;
        } else if (format == QImage::Format_RGB32) {
            px.image = image;
            px.source = RowSource::Xrgb32ToRgb;
        } else {
            px.image = image.convertToFormat(QImage::Format_RGB888);
        }
        return px;
    }
    if (format == QImage::Format_ARGB32 || format == QImage::Format_ARGB32_Premultiplied) {
        px.image = image;
        if (argb32Opaque(image)) {
            // With alpha 255 premultiplied and straight values are the same.
            px.source = RowSource::Xrgb32ToRgb;
        } else if (format == QImage::Format_ARGB32) {
            px.source = RowSource::Argb32ToRgba;
            px.channels = 4;
        } else {
            px.image = image.convertToFormat(QImage::Format_RGBA8888);
            px.channels = 4;
        }
        return px;
    }
    px.image =
        format == QImage::Format_RGBA8888 ? image : image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba8888Opaque(px.image))
        px.source = RowSource::Rgba8888ToRgb;
    else
        px.channels = 4;
    return px;
}

#if defined(__x86_64__) || defined(__i386__)
// 32-bit pixels to RGB bytes, four pixels a step; the loop leaves the last few pixels to the
// caller, as each 16-byte store reaches four bytes past the twelve it fills.
__attribute__((target("ssse3"))) int xrgbToRgbSsse3(const quint32* in, uchar* out, int width) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int x = 0;
    for (; x + 6 <= width; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)),
                                          order));
    return x;
}

const bool haveSsse3 = __builtin_cpu_supports("ssse3");
#endif

// Row y as packed bytes, either in the image or in `scratch` (rowBytes long).
const uchar* packedRow(const Pixels& px, int y, uchar* scratch) {
    const uchar* line = px.line(y);
    switch (px.source) {
    case RowSource::Packed:
        return line;
    case RowSource::Xrgb32ToRgb: {
        const auto* in = reinterpret_cast<const quint32*>(line);
        int x = 0;
#if defined(__x86_64__) || defined(__i386__)
        if (haveSsse3) x = xrgbToRgbSsse3(in, scratch, px.width);
#endif
        for (; x < px.width; ++x) {
            scratch[3 * x] = uchar(in[x] >> 16);
            scratch[3 * x + 1] = uchar(in[x] >> 8);
            scratch[3 * x + 2] = uchar(in[x]);
        }
        return scratch;
    }
    case RowSource::Argb32ToRgba: {
        const auto* in = reinterpret_cast<const quint32*>(line);
        for (int x = 0; x < px.width; ++x) {
            scratch[4 * x] = uchar(in[x] >> 16);
            scratch[4 * x + 1] = uchar(in[x] >> 8);
            scratch[4 * x + 2] = uchar(in[x]);
            scratch[4 * x + 3] = uchar(in[x] >> 24);
        }
        return scratch;
    }
    case RowSource::Rgba8888ToRgb:
        for (int x = 0; x < px.width; ++x) {
            scratch[3 * x] = line[4 * x];
            scratch[3 * x + 1] = line[4 * x + 1];
            scratch[3 * x + 2] = line[4 * x + 2];
        }
        return scratch;
    }
    return line;
}

inline unsigned absSigned(unsigned v) {
    v &= 0xff;
    return v < 128 ? v : 256 - v;
}

inline unsigned paeth(unsigned a, unsigned b, unsigned c) {
    const int pa = std::abs(int(b) - int(c));
    const int pb = std::abs(int(a) - int(c));
    const int pc = std::abs(int(a) + int(b) - 2 * int(c));
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

enum Filter : uchar { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

#ifdef __SSE2__
inline __m128i absSigned16(__m128i v) { // |int8| of each byte, 128 for -128
    return _mm_min_epu8(v, _mm_sub_epi8(_mm_setzero_si128(), v));
}

inline __m128i paethHalf(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i abc = _mm_add_epi16(bc, ac);
    const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
    const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
    const __m128i pc = _mm_max_epi16(abc, _mm_sub_epi16(zero, abc));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i useC = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, b));
    return _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a));
}

inline __m128i paethPredict16(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = paethHalf(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                                 _mm_unpacklo_epi8(c, zero));
    const __m128i hi = paethHalf(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                                 _mm_unpackhi_epi8(c, zero));
    return _mm_packus_epi16(lo, hi);
}

inline unsigned horizontalSum(__m128i v) {
    return unsigned(_mm_cvtsi128_si32(v)) + unsigned(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
}
#endif

// Writes 1 + n bytes: the filter type with the smallest sum of absolute (signed) residues,
// then the row filtered with it. `prev` is the unfiltered row above, zeros for the first;
// `residues` holds four n-byte rows for the Sub, Up, Average and Paeth candidates.
void filterRow(const uchar* cur, const uchar* prev, std::size_t n, std::size_t bpp,
               uchar* const residues[4], uchar* out) {
    uchar* const sub = residues[0];
    uchar* const up = residues[1];
    uchar* const avg = residues[2];
    uchar* const pth = residues[3];
    unsigned sums[5] = {0, 0, 0, 0, 0};
    auto scalar = [&](std::size_t i, unsigned a, unsigned c) {
        const unsigned x = cur[i], b = prev[i];
        sub[i] = uchar(x - a);
        up[i] = uchar(x - b);
        avg[i] = uchar(x - ((a + b) >> 1));
        pth[i] = uchar(x - paeth(a, b, c));
        sums[None] += absSigned(x);
        sums[Sub] += absSigned(sub[i]);
        sums[Up] += absSigned(up[i]);
        sums[Average] += absSigned(avg[i]);
        sums[Paeth] += absSigned(pth[i]);
    };
    for (std::size_t i = 0; i < std::min(bpp, n); ++i)
        scalar(i, 0, 0);
    std::size_t i = bpp;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
    __m128i acc[5] = {zero, zero, zero, zero, zero};
    auto add = [&](int filter, __m128i residue) {
        acc[filter] = _mm_add_epi64(acc[filter], _mm_sad_epu8(absSigned16(residue), zero));
    };
    for (; i + 16 <= n; i += 16) {
        const auto load = [](const uchar* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        const auto store = [](uchar* p, __m128i v) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
        };
        const __m128i x = load(cur + i), a = load(cur + i - bpp), b = load(prev + i),
                      c = load(prev + i - bpp);
        // _mm_avg_epu8 rounds up; the filter rounds down.
        const __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        const __m128i rSub = _mm_sub_epi8(x, a), rUp = _mm_sub_epi8(x, b),
                      rAvg = _mm_sub_epi8(x, mean),
                      rPaeth = _mm_sub_epi8(x, paethPredict16(a, b, c));
        store(sub + i, rSub);
        store(up + i, rUp);
        store(avg + i, rAvg);
        store(pth + i, rPaeth);
        add(None, x);
        add(Sub, rSub);
        add(Up, rUp);
        add(Average, rAvg);
        add(Paeth, rPaeth);
    }
    for (int f = 0; f < 5; ++f)
        sums[f] += horizontalSum(acc[f]);
#endif
    for (; i < n; ++i)
        scalar(i, cur[i - bpp], prev[i - bpp]);

    const auto best = Filter(std::min_element(sums, sums + 5) - sums);
    out[0] = best;
    std::memcpy(out + 1, best == None ? cur : residues[best - 1], n);
}

// Filters consecutive rows, keeping the unfiltered row above for the next one.
class RowFilter {
public:
    RowFilter(const Pixels& px, int firstRow)
        : px_(px), next_(firstRow),
          zeros_(px.rowBytes(), 0), scratch_{std::vector<uchar>(px.rowBytes()),
                                             std::vector<uchar>(px.rowBytes())} {
        prev_ = zeros_.data();
        if (firstRow > 0) prev_ = packedRow(px_, firstRow - 1, scratch_[(firstRow - 1) & 1].data());
    }

    // Writes the next row, 1 + rowBytes bytes, to `out`.
    void filterNext(uchar* out) {
        // Alternate scratch rows so the one holding `prev_` is never overwritten.
        uchar* scratch = scratch_[next_ & 1].data();
        const uchar* cur = packedRow(px_, next_, scratch);
        filterRow(cur, prev_, px_.rowBytes(), std::size_t(px_.channels), residueRows_, out);
        prev_ = cur;
        ++next_;
    }

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

// zlib's Adler-32, 16 bytes a step: the checksum of every filtered row costs as much as a
// tenth of the encoding with zlib's own loop.
uLong adler32Of(uLong adler, const uchar* data, std::size_t size) {
#ifdef __SSE2__
    constexpr std::uint32_t base = 65521;
    // The most 16-byte blocks before the sums must be reduced (zlib's 5552 bytes).
    constexpr std::size_t maxBlocks = 5552 / 16;
    std::uint64_t s1 = adler & 0xffff, s2 = (adler >> 16) & 0xffff;
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstHalf = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i secondHalf = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    const auto sum32 = [](__m128i v) {
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
        return std::uint64_t(std::uint32_t(_mm_cvtsi128_si32(v)));
    };
    while (size >= 16) {
        const std::size_t blocks = std::min(size / 16, maxBlocks);
        __m128i bytes = zero, before = zero, weighted = zero;
        for (std::size_t b = 0; b < blocks; ++b, data += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
            before = _mm_add_epi32(before, bytes);
            bytes = _mm_add_epi32(bytes, _mm_sad_epu8(v, zero));
            weighted = _mm_add_epi32(weighted,
                                     _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), firstHalf));
            weighted = _mm_add_epi32(weighted,
                                     _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), secondHalf));
        }
        size -= blocks * 16;
        s2 += s1 * blocks * 16 + 16 * sum32(before) + sum32(weighted);
        s1 += sum32(bytes);
        s1 %= base;
        s2 %= base;
    }
    for (; size > 0; --size, ++data) {
        s1 += *data;
        s2 += s1;
    }
    return uLong((s2 % base) << 16 | (s1 % base));
#else
    return adler32_z(adler, data, size);
#endif
}

struct Band {
    int firstRow = 0;
    int endRow = 0;
    QByteArray deflated;
    uLong adler = 1;
    uLong length = 0;
    bool ok = false;
};

constexpr std::size_t windowBytes = 32768;
constexpr std::size_t chunkTarget = 256 * 1024;

// Deflates the band's filtered rows as raw deflate data that ends on a byte boundary: with a
// sync flush so the next band can follow, or as the final block for the last band.
bool deflateBand(const Pixels& px, Band& band, bool last, PngDeflateSettings settings) {
    const std::size_t lineBytes = px.rowBytes() + 1;
    z_stream zs{};
    if (deflateInit2(&zs, settings.level, Z_DEFLATED, -15, 8, settings.strategy) != Z_OK)
        return false;
    struct End {
        z_stream* zs;
        ~End() { deflateEnd(zs); }
    } end{&zs};
    if (settings.maxChain > 0 && deflateTune(&zs, settings.goodLength, settings.maxLazy,
                                             settings.niceLength, settings.maxChain) != Z_OK)
        return false;

    // The filtered rows just above the band become its dictionary, so matches may reach
    // back across the band boundary as they would in a single stream.
    if (band.firstRow > 0) {
        const int rows = int(std::min<std::size_t>(std::size_t(band.firstRow),
                                                   (windowBytes + lineBytes - 1) / lineBytes));
        std::vector<uchar> dictionary(std::size_t(rows) * lineBytes);
        RowFilter filter(px, band.firstRow - rows);
        for (int r = 0; r < rows; ++r)
            filter.filterNext(dictionary.data() + std::size_t(r) * lineBytes);
        const std::size_t used = std::min(windowBytes, dictionary.size());
        if (deflateSetDictionary(&zs, dictionary.data() + dictionary.size() - used, uInt(used)) !=
            Z_OK)
            return false;
    }

    // No bigger than the band: small pictures need not clear a whole chunk.
    const int rowsPerChunk = int(std::clamp<std::size_t>(chunkTarget / lineBytes, 1,
                                                         std::size_t(band.endRow - band.firstRow)));
    std::vector<uchar> chunk(std::size_t(rowsPerChunk) * lineBytes);
    const std::size_t bandBytes = std::size_t(band.endRow - band.firstRow) * lineBytes;
    band.deflated.resize(qsizetype(std::max<std::size_t>(4096, bandBytes / 8)));
    std::size_t written = 0;
    RowFilter filter(px, band.firstRow);
    for (int y = band.firstRow; y < band.endRow;) {
        const int rows = std::min(rowsPerChunk, band.endRow - y);
        for (int r = 0; r < rows; ++r)
            filter.filterNext(chunk.data() + std::size_t(r) * lineBytes);
        y += rows;
        const uInt inBytes = uInt(std::size_t(rows) * lineBytes);
        band.adler = adler32Of(band.adler, chunk.data(), inBytes);
        band.length += inBytes;
        zs.next_in = chunk.data();
        zs.avail_in = inBytes;
        const int flush = y < band.endRow ? Z_NO_FLUSH : (last ? Z_FINISH : Z_SYNC_FLUSH);
        do {
            if (written == std::size_t(band.deflated.size()))
                band.deflated.resize(band.deflated.size() * 2);
            zs.next_out = reinterpret_cast<Bytef*>(band.deflated.data()) + written;
            zs.avail_out =
                uInt(std::min<std::size_t>(std::size_t(band.deflated.size()) - written, 1u << 30));
            const int status = deflate(&zs, flush);
            if (status == Z_STREAM_ERROR) return false;
            written = std::size_t(reinterpret_cast<char*>(zs.next_out) - band.deflated.data());
        } while (zs.avail_out == 0);
    }
    band.deflated.resize(qsizetype(written));
    return true;
}

void putU32(QByteArray& out, quint32 v) {
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

void putChunk(QByteArray& out, const char* type, const char* data, std::size_t size) {
    putU32(out, quint32(size));
    const qsizetype start = out.size();
    out.append(type, 4);
    if (size > 0) out.append(data, qsizetype(size));
    const auto* crcStart = reinterpret_cast<const Bytef*>(out.constData() + start);
    putU32(out, quint32(crc32_z(crc32(0, nullptr, 0), crcStart, size + 4)));
}

// The PNG's signature and header chunks, before its pixel data.
QByteArray pngHeader(int width, int height, int channels, int dpmX, int dpmY) {
    QByteArray png;
    png.append("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    putU32(header, quint32(width));
    putU32(header, quint32(height));
    const char bitDepth = 8, colorType = channels == 4 ? 6 : 2, rest[3] = {0, 0, 0};
    header.append(bitDepth);
    header.append(colorType);
    header.append(rest, 3); // deflate, adaptive filtering, no interlace
    putChunk(png, "IHDR", header.constData(), std::size_t(header.size()));
    if (dpmX > 0 || dpmY > 0) {
        QByteArray phys;
        putU32(phys, quint32(std::max(0, dpmX)));
        putU32(phys, quint32(std::max(0, dpmY)));
        phys.append(char(1)); // unit: metre
        putChunk(png, "pHYs", phys.constData(), std::size_t(phys.size()));
    }
    return png;
}

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

int threadsFor(int threads) {
    return threads > 0 ? threads : int(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace

std::optional<QByteArray> encodePNG(const QImage& image, int threads) {
    return encodePNG(image, threads, PngDeflateSettings{});
}

std::optional<QByteArray> encodePNG(const QImage& image, int threads, PngDeflateSettings settings) {
    if (image.isNull()) return std::nullopt;
    const Pixels px = preparePixels(image);
    if (px.image.isNull()) return std::nullopt;

    threads = std::min(threadsFor(threads), px.height);
    // Several bands per thread even out bands that compress at different speeds.
    const int bandCount = threads == 1 ? 1 : std::min(px.height, threads * 4);
    std::vector<Band> bands(static_cast<std::size_t>(bandCount));
    for (int i = 0; i < bandCount; ++i) {
        bands[std::size_t(i)].firstRow = int(qint64(px.height) * i / bandCount);
        bands[std::size_t(i)].endRow = int(qint64(px.height) * (i + 1) / bandCount);
    }

    std::atomic<int> nextBand{0};
    auto work = [&] {
        for (int i = nextBand++; i < bandCount; i = nextBand++) {
            Band& band = bands[std::size_t(i)];
            try {
                band.ok = deflateBand(px, band, i == bandCount - 1, settings);
            } catch (const std::bad_alloc&) {
                band.ok = false; // no exception may leave a worker thread
            }
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // the threads that did start and this one share the bands
        }
    }
    work();
    for (std::thread& worker : workers)
        worker.join();

    std::size_t deflated = 0;
    for (const Band& band : bands) {
        if (!band.ok) return std::nullopt;
        deflated += std::size_t(band.deflated.size());
    }
    QByteArray png = pngHeader(px.width, px.height, px.channels, image.dotsPerMeterX(),
                               image.dotsPerMeterY());
    png.reserve(qsizetype(deflated + deflated / 65536 + 128));
    PixelData data(png, settings);
    for (Band& band : bands)
        data.add(band);
    data.finish();
    return png;
}

// Each band that arrives becomes a job: its rows and the few rows above it, deflated on a
// worker while the caller draws the next band. At most two bands per worker wait or are
// being deflated, so the memory stays a few bands whatever the picture's height; the
// bands deflated are written into the file in order as they come.
struct PngStreamEncoder::State {
    struct Job {
        Pixels px;
        Band band;
        bool last = false;
        bool done = false;
    };

    PngDeflateSettings settings;
    std::size_t contextRows = 1; // kept above each band: its dictionary and the row before it
    QImage tail;                 // the last rows so far
    bool failed = false;

    QByteArray png;
    std::optional<PixelData> data;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::unique_ptr<Job>> jobs; // the bands not yet written, in order
    std::deque<Job*> waiting;
    int unfinished = 0;
    bool stopping = false;
    std::vector<std::thread> workers;

    static void run(Job& job, PngDeflateSettings settings) {
        try {
            job.band.ok = deflateBand(job.px, job.band, job.last, settings);
        } catch (const std::bad_alloc&) {
            job.band.ok = false; // no exception may leave a worker thread
        }
        job.px = Pixels(); // the pixels go as soon as they are deflated
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !waiting.empty(); });
            if (stopping) return;
            Job* job = waiting.front();
            waiting.pop_front();
            lock.unlock();
            run(*job, settings);
            lock.lock();
            job->done = true;
            --unfinished;
            changed.notify_all();
        }
    }

    void stop() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (std::thread& worker : workers)
            worker.join();
        workers.clear();
    }

    // Writes the bands deflated at the front of the queue.
    void drain() {
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (jobs.empty() || !jobs.front()->done) return;
            }
            std::unique_ptr<Job> job = std::move(jobs.front());
            jobs.pop_front();
            if (!job->band.ok) failed = true;
            if (!failed) data->add(job->band);
        }
    }

    // The last `contextRows` rows of the tail and the band together.
    void keepTail(const QImage& band) {
        const int keep = int(contextRows);
        if (band.height() >= keep || tail.isNull()) {
            tail = band.copy(0, std::max(0, band.height() - keep), band.width(),
                             std::min(keep, band.height()));
            return;
        }
        const int fromTail = std::min(tail.height(), keep - band.height());
        QImage joined(band.width(), fromTail + band.height(), band.format());
        const std::size_t bytes = std::size_t(band.width()) * 4;
        for (int y = 0; y < fromTail; ++y)
            std::memcpy(joined.scanLine(y), tail.constScanLine(tail.height() - fromTail + y), bytes);
        for (int y = 0; y < band.height(); ++y)
            std::memcpy(joined.scanLine(fromTail + y), band.constScanLine(y), bytes);
        tail = joined;
    }
};

PngStreamEncoder::PngStreamEncoder(int width, int height, int dotsPerMeter,
                                   PngDeflateSettings settings, int threads)
    : width_(width), height_(height), state_(new State) {
    State& st = *state_;
    st.settings = settings;
    const std::size_t lineBytes = std::size_t(std::max(1, width)) * 3 + 1;
    st.contextRows = (windowBytes + lineBytes - 1) / lineBytes + 1;
    st.failed = width <= 0 || height <= 0;
    if (!st.failed) {
        st.png = pngHeader(width, height, 3, dotsPerMeter, dotsPerMeter);
        st.data.emplace(st.png, settings);
    }
    // One thread deflates on the caller's; so does a machine with no thread to spare.
    for (int t = threadsFor(threads); t > 1 && !st.failed && int(st.workers.size()) < t;) {
        try {
            st.workers.emplace_back([&st] { st.work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

PngStreamEncoder::~PngStreamEncoder() {
    state_->stop();
}

bool PngStreamEncoder::addRows(const QImage& band) {
    State& st = *state_;
    if (st.failed || band.isNull() || band.width() != width_ || rows_ + band.height() > height_)
        return false;
    auto job = std::make_unique<State::Job>();
    job->px.image = band.format() == QImage::Format_RGB32 ||
                            band.format() == QImage::Format_ARGB32_Premultiplied ||
                            band.format() == QImage::Format_ARGB32
                        ? band
                        : band.convertToFormat(QImage::Format_RGB32);
    if (job->px.image.isNull()) return st.failed = true, false;
    job->px.source = RowSource::Xrgb32ToRgb; // opaque pixels: alpha is dropped
    job->px.width = width_;
    job->px.above = st.tail;
    job->px.height = st.tail.height() + band.height();
    job->band.firstRow = st.tail.height();
    job->band.endRow = job->px.height;
    job->last = rows_ + band.height() == height_;
    st.keepTail(job->px.image);
    rows_ += band.height();

    if (st.workers.empty()) {
        State::run(*job, st.settings);
        job->done = true;
        st.jobs.push_back(std::move(job));
    } else {
        std::unique_lock lock(st.mutex);
        // A band waiting for each worker keeps them busy while the caller draws one that
        // takes longer (its pictures to decode); more would only hold memory.
        st.changed.wait(lock, [&st] { return st.unfinished < 2 * int(st.workers.size()); });
        st.waiting.push_back(job.get());
        st.jobs.push_back(std::move(job));
        ++st.unfinished;
        lock.unlock();
        st.changed.notify_all();
    }
    st.drain();
    return !st.failed;
}

std::optional<QByteArray> PngStreamEncoder::finish() {
    State& st = *state_;
    {
        std::unique_lock lock(st.mutex);
        st.changed.wait(lock, [&st] { return st.unfinished == 0; });
    }
    st.stop();
    st.drain();
    if (st.failed || rows_ != height_ || !st.data) return std::nullopt;
    st.data->finish();
    st.data.reset();
    return std::exchange(st.png, QByteArray());
}

} // namespace pintora
