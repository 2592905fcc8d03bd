#include "export/PngFilter.h"

#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

namespace pintora::png {

namespace {

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

} // namespace

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

namespace {

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

} // namespace

RowFilter::RowFilter(const Pixels& px, int firstRow)
    : px_(px), next_(firstRow),
      zeros_(px.rowBytes(), 0), scratch_{std::vector<uchar>(px.rowBytes()),
                                         std::vector<uchar>(px.rowBytes())} {
    prev_ = zeros_.data();
    if (firstRow > 0) prev_ = packedRow(px_, firstRow - 1, scratch_[(firstRow - 1) & 1].data());
}

void RowFilter::filterNext(uchar* out) {
    // Alternate scratch rows so the one holding `prev_` is never overwritten.
    uchar* scratch = scratch_[next_ & 1].data();
    const uchar* cur = packedRow(px_, next_, scratch);
    filterRow(cur, prev_, px_.rowBytes(), std::size_t(px_.channels), residueRows_, out);
    prev_ = cur;
    ++next_;
}

} // namespace pintora::png
