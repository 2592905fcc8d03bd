#include "export/PngEncoder.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>
#include <zlib.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pintora {

namespace {

// How rows reach the filter: as they are in memory, or repacked from 32-bit pixels.
enum class RowSource { Packed, Xrgb32ToRgb, Argb32ToRgba, Rgba8888ToRgb };

struct Pixels {
    QImage image; // the source, or its converted copy that the rows point into
    RowSource source = RowSource::Packed;
    int channels = 3;
    int width = 0;
    int height = 0;
    std::size_t rowBytes() const { return std::size_t(width) * std::size_t(channels); }
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

// Row y as packed bytes, either in the image or in `scratch` (rowBytes long).
const uchar* packedRow(const Pixels& px, int y, uchar* scratch) {
    const uchar* line = px.image.constScanLine(y);
    switch (px.source) {
    case RowSource::Packed:
        return line;
    case RowSource::Xrgb32ToRgb: {
        const auto* in = reinterpret_cast<const quint32*>(line);
        for (int x = 0; x < px.width; ++x) {
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
        band.adler = adler32(band.adler, chunk.data(), inBytes);
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

// The PNG file around a zlib stream of filtered rows.
QByteArray assemblePNG(int width, int height, int channels, int dpmX, int dpmY,
                       const QByteArray& zlibStream) {
    constexpr std::size_t idatBytes = 1 << 20;
    QByteArray png;
    png.reserve(zlibStream.size() + zlibStream.size() / qsizetype(idatBytes) * 12 + 128);
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
    for (std::size_t at = 0; at < std::size_t(zlibStream.size()); at += idatBytes)
        putChunk(png, "IDAT", zlibStream.constData() + at,
                 std::min(idatBytes, std::size_t(zlibStream.size()) - at));
    putChunk(png, "IEND", nullptr, 0);
    return png;
}

} // namespace

std::optional<QByteArray> encodePNG(const QImage& image, int threads) {
    return encodePNG(image, threads, PngDeflateSettings{});
}

std::optional<QByteArray> encodePNG(const QImage& image, int threads, PngDeflateSettings settings) {
    if (image.isNull()) return std::nullopt;
    const Pixels px = preparePixels(image);
    if (px.image.isNull()) return std::nullopt;

    if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, px.height);
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

    // The zlib stream: header, the bands' deflate data, then the Adler-32 of all of it.
    const uchar cmf = 0x78; // deflate, 32 KiB window
    const int levelFlag = settings.level < 2    ? 0
                          : settings.level < 6  ? 1
                          : settings.level == 6 ? 2
                                                : 3;
    uchar flg = uchar(levelFlag << 6);
    flg = uchar(flg + (31 - (cmf * 256 + flg) % 31) % 31);
    std::size_t deflatedSize = 0;
    for (const Band& band : bands) {
        if (!band.ok) return std::nullopt;
        deflatedSize += std::size_t(band.deflated.size());
    }
    QByteArray zlibStream;
    zlibStream.reserve(qsizetype(deflatedSize + 6));
    zlibStream.append(char(cmf));
    zlibStream.append(char(flg));
    uLong adler = adler32(0, nullptr, 0);
    for (const Band& band : bands) {
        zlibStream.append(band.deflated);
        adler = adler32_combine(adler, band.adler, z_off_t(band.length));
    }
    putU32(zlibStream, quint32(adler));

    return assemblePNG(px.width, px.height, px.channels, image.dotsPerMeterX(),
                       image.dotsPerMeterY(), zlibStream);
}

} // namespace pintora

namespace pintora {

struct PngStreamEncoder::State {
    z_stream zs{};
    bool open = false;
    QByteArray out;
    std::size_t written = 0;
    std::vector<uchar> previous; // the packed row above the next one
    std::vector<uchar> scratch;
    std::vector<uchar> residues;
    std::vector<uchar> filtered;

    bool deflateSome(const uchar* data, std::size_t size, int flush) {
        zs.next_in = const_cast<Bytef*>(data);
        zs.avail_in = uInt(size);
        int status = Z_OK;
        do {
            if (written == std::size_t(out.size()))
                out.resize(std::max<qsizetype>(65536, out.size() * 2));
            zs.next_out = reinterpret_cast<Bytef*>(out.data()) + written;
            zs.avail_out = uInt(std::min<std::size_t>(std::size_t(out.size()) - written, 1u << 30));
            status = deflate(&zs, flush);
            if (status == Z_STREAM_ERROR) return false;
            written = std::size_t(reinterpret_cast<char*>(zs.next_out) - out.data());
        } while (zs.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
        return true;
    }
};

PngStreamEncoder::PngStreamEncoder(int width, int height, int dotsPerMeter,
                                   PngDeflateSettings settings)
    : width_(width), height_(height), dotsPerMeter_(dotsPerMeter), state_(new State) {
    if (width <= 0 || height <= 0) return;
    State& st = *state_;
    if (deflateInit2(&st.zs, settings.level, Z_DEFLATED, 15, 8, settings.strategy) != Z_OK) return;
    st.open = true;
    if (settings.maxChain > 0)
        deflateTune(&st.zs, settings.goodLength, settings.maxLazy, settings.niceLength,
                    settings.maxChain);
    const std::size_t rowBytes = std::size_t(width) * 3;
    st.previous.assign(rowBytes, 0);
    st.scratch.resize(rowBytes);
    st.residues.resize(4 * rowBytes);
    st.filtered.resize(rowBytes + 1);
}

PngStreamEncoder::~PngStreamEncoder() {
    if (state_->open) deflateEnd(&state_->zs);
}

bool PngStreamEncoder::addRows(const QImage& band) {
    State& st = *state_;
    if (!st.open || band.width() != width_ || rows_ + band.height() > height_) return false;
    Pixels px;
    px.image = band.format() == QImage::Format_RGB32 ||
                       band.format() == QImage::Format_ARGB32_Premultiplied ||
                       band.format() == QImage::Format_ARGB32
                   ? band
                   : band.convertToFormat(QImage::Format_RGB32);
    px.source = RowSource::Xrgb32ToRgb; // opaque pixels: alpha is dropped
    px.width = width_;
    px.height = band.height();
    const std::size_t rowBytes = px.rowBytes();
    uchar* const residueRows[4] = {st.residues.data(), st.residues.data() + rowBytes,
                                   st.residues.data() + 2 * rowBytes,
                                   st.residues.data() + 3 * rowBytes};
    for (int y = 0; y < px.height; ++y) {
        const uchar* cur = packedRow(px, y, st.scratch.data());
        filterRow(cur, st.previous.data(), rowBytes, 3, residueRows, st.filtered.data());
        std::memmove(st.previous.data(), cur, rowBytes);
        if (!st.deflateSome(st.filtered.data(), st.filtered.size(), Z_NO_FLUSH)) return false;
    }
    rows_ += band.height();
    return true;
}

std::optional<QByteArray> PngStreamEncoder::finish() {
    State& st = *state_;
    if (!st.open || rows_ != height_ || !st.deflateSome(nullptr, 0, Z_FINISH)) return std::nullopt;
    st.out.resize(qsizetype(st.written));
    return assemblePNG(width_, height_, 3, dotsPerMeter_, dotsPerMeter_, st.out);
}

} // namespace pintora
