#include "export/PngDeflate.h"

#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pintora::png {

namespace {

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

constexpr std::size_t chunkTarget = 256 * 1024;

} // namespace

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

} // namespace pintora::png
