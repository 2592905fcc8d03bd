#include "model/Base64.h"

#include "model/LargeBuffer.h"

#include <array>
#include <cstdint>
#include <cstring>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace pintora {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr uint8_t invalid = 0xFF;
constexpr uint8_t special = 0x80; // a backslash or "=": leave the fast path

constexpr std::array<uint8_t, 256> makeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table)
        v = invalid;
    for (int i = 0; i < 64; ++i)
        table[uint8_t(alphabet[i])] = uint8_t(i);
    table[uint8_t('\\')] = special;
    table[uint8_t('=')] = special;
    return table;
}
constexpr auto decodeTable = makeDecodeTable();

constexpr int endOfText = -1;
constexpr int badText = -2;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The next character of the string's value, JSON escapes resolved; only ASCII can be Base64.
int nextChar(const char*& p, const char* end) {
    if (p == end) return endOfText;
    const char c = *p++;
    if (c != '\\') return uint8_t(c);
    if (p == end) return badText;
    const char e = *p++;
    if (e == '/') return '/';
    if (e != 'u' || end - p < 4)
        return badText; // any other escape stands for a character Base64 does not use
    int code = 0;
    for (int i = 0; i < 4; ++i) {
        const int h = hexValue(p[i]);
        if (h < 0) return badText;
        code = code * 16 + h;
    }
    p += 4;
    return code < 128 ? code : badText;
}

// One group of four characters by the careful road: escapes, padding, the end.
// Returns the bytes written (0 to 3), or -1 on bad text; sets `done` at the end.
int decodeSlowGroup(const char*& p, const char* end, uint8_t* o, bool& done) {
    int c[4];
    c[0] = nextChar(p, end);
    if (c[0] == endOfText) {
        done = true;
        return 0;
    }
    for (int i = 1; i < 4; ++i)
        c[i] = nextChar(p, end);
    uint32_t s[4];
    int padding = 0;
    for (int i = 0; i < 4; ++i) {
        if (c[i] < 0) return -1;
        if (c[i] == '=') {
            if (i < 2) return -1;
            ++padding;
            s[i] = 0;
            continue;
        }
        if (padding > 0) return -1; // a digit after padding
        const uint8_t v = decodeTable[uint8_t(c[i])];
        if (v >= 64) return -1;
        s[i] = v;
    }
    const uint32_t v = s[0] << 18 | s[1] << 12 | s[2] << 6 | s[3];
    o[0] = uint8_t(v >> 16);
    o[1] = uint8_t(v >> 8);
    o[2] = uint8_t(v);
    if (padding > 0) {
        if (nextChar(p, end) != endOfText) return -1; // padding only ends the text
        done = true;
    }
    return 3 - padding;
}

} // namespace

bool decodeBase64JsonTextPortable(const char* p, const char* end, QByteArray& out) {
    const std::size_t maxSize = std::size_t(end - p) / 4 * 3 + 3;
    out = makeLargeByteArray(qsizetype(maxSize));
    auto* const start = reinterpret_cast<uint8_t*>(out.data());
    uint8_t* o = start;
    const auto* in = reinterpret_cast<const uint8_t*>(p);
    for (;;) {
        // Two groups at a time while every character is a plain Base64 digit.
        while (end - reinterpret_cast<const char*>(in) >= 8) {
            const uint32_t a = decodeTable[in[0]], b = decodeTable[in[1]], c = decodeTable[in[2]],
                           d = decodeTable[in[3]], e = decodeTable[in[4]], f = decodeTable[in[5]],
                           g = decodeTable[in[6]], h = decodeTable[in[7]];
            if ((a | b | c | d | e | f | g | h) & 0x80) break;
            const uint32_t v = a << 18 | b << 12 | c << 6 | d;
            const uint32_t w = e << 18 | f << 12 | g << 6 | h;
            o[0] = uint8_t(v >> 16);
            o[1] = uint8_t(v >> 8);
            o[2] = uint8_t(v);
            o[3] = uint8_t(w >> 16);
            o[4] = uint8_t(w >> 8);
            o[5] = uint8_t(w);
            in += 8;
            o += 6;
        }
        const char* q = reinterpret_cast<const char*>(in);
        bool done = false;
        const int written = decodeSlowGroup(q, end, o, done);
        if (written < 0) return false;
        o += written;
        in = reinterpret_cast<const uint8_t*>(q);
        if (done) break;
    }
    out.resize(o - start);
    return true;
}

#if defined(__x86_64__) && defined(__GNUC__)
namespace {

// Clean text (no escapes) is decoded 32 characters at a time with AVX2: validate with two
// nibble lookups, map the characters to their 6-bit values, then pack four to three bytes.
// Returns how many characters it decoded (whole blocks); the caller finishes the rest.
__attribute__((target("avx2"))) std::size_t decodeCleanAvx2(const uint8_t* in, std::size_t n,
                                                            uint8_t* o) {
    const __m256i lutLo =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i lutHi =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i lutRoll =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i nibbleMask = _mm256_set1_epi8(0x0F);
    const __m256i slash = _mm256_set1_epi8(0x2F);
    const __m256i pack = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2,
                                          1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, -1, -1);
    std::size_t done = 0;
    while (n - done >= 32) {
        const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done));
        const __m256i hiNibbles = _mm256_and_si256(_mm256_srli_epi32(text, 4), nibbleMask);
        const __m256i loNibbles = _mm256_and_si256(text, nibbleMask);
        const __m256i lo = _mm256_shuffle_epi8(lutLo, loNibbles);
        const __m256i hi = _mm256_shuffle_epi8(lutHi, hiNibbles);
        if (!_mm256_testz_si256(lo, hi))
            break; // a character outside the alphabet (padding, or bad text)
        const __m256i isSlash = _mm256_cmpeq_epi8(text, slash);
        const __m256i roll = _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(isSlash, hiNibbles));
        const __m256i sextets = _mm256_add_epi8(text, roll);
        const __m256i pairs = _mm256_maddubs_epi16(sextets, _mm256_set1_epi32(0x01400140));
        const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, pack), lanes);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), bytes); // 24 bytes and 8 of slack
        o += 24;
        done += 32;
    }
    return done;
}

// Four lookups give the three bytes of a group in place (little-endian); characters outside
// the alphabet set bits above the low 24.
struct GroupTables {
    uint32_t d[4][256];
};
constexpr GroupTables makeGroupTables() {
    GroupTables t{};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 256; ++c)
            t.d[k][c] = 0x01FFFFFF;
    for (uint32_t s = 0; s < 64; ++s) {
        const auto c = uint8_t(alphabet[s]);
        t.d[0][c] = s << 2;
        t.d[1][c] = (s >> 4) | ((s & 0x0F) << 12);
        t.d[2][c] = ((s >> 2) << 8) | ((s & 0x03) << 22);
        t.d[3][c] = s << 16;
    }
    return t;
}
constexpr GroupTables groupTables = makeGroupTables();

// Whole groups of clean text; only the text's final group (when `last`) may carry padding.
// Writes one byte of slack after the output; returns the bytes written, or -1.
long decodeCleanGroups(const uint8_t* in, std::size_t n, uint8_t* o, bool last) {
    uint8_t* const start = o;
    const std::size_t groups = n / 4;
    for (std::size_t g = 0; g < groups; ++g, in += 4) {
        const uint32_t x = groupTables.d[0][in[0]] | groupTables.d[1][in[1]] |
                           groupTables.d[2][in[2]] | groupTables.d[3][in[3]];
        if (x < 0x01000000) {
            std::memcpy(o, &x, 4);
            o += 3;
            continue;
        }
        if (!last || g + 1 != groups) return -1;
        // The final group: "xx==" holds one byte, "xxx=" two.
        const uint32_t head = groupTables.d[0][in[0]] | groupTables.d[1][in[1]];
        if (head >= 0x01000000 || in[3] != '=') return -1;
        if (in[2] == '=') {
            *o++ = uint8_t(head);
        } else {
            const uint32_t y = head | groupTables.d[2][in[2]];
            if (y >= 0x01000000) return -1;
            *o++ = uint8_t(y);
            *o++ = uint8_t(y >> 8);
        }
    }
    return long(o - start);
}

// Copies the text into small clean chunks, dropping the backslash of each "\/", and decodes
// each chunk at full speed. Any other escape goes the portable way.
__attribute__((target("avx2"))) bool decodeBase64JsonTextAvx2(const char* begin, const char* end,
                                                              QByteArray& out) {
    constexpr std::size_t chunk = 8192;
    alignas(32) uint8_t clean[chunk + 64];
    const std::size_t maxSize = std::size_t(end - begin) / 4 * 3;
    out = makeLargeByteArray(qsizetype(maxSize + 32));
    auto* const start = reinterpret_cast<uint8_t*>(out.data());
    uint8_t* o = start;
    const char* p = begin;
    const __m256i backslash = _mm256_set1_epi8('\\');
    std::size_t n = 0;
    for (;;) {
        while (n <= chunk - 32 && end - p >= 33) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(clean + n), v);
            const auto mask = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, backslash)));
            if (mask == 0) {
                n += 32;
                p += 32;
                continue;
            }
            const int i = __builtin_ctz(mask);
            if (p[i + 1] != '/') return decodeBase64JsonTextPortable(begin, end, out);
            n += std::size_t(i);
            p += i + 1; // the '/' after the backslash starts the next copy
        }
        bool finished = false;
        if (end - p < 33 && n <= chunk - 64) {
            while (p < end) {
                char c = *p++;
                if (c == '\\') {
                    if (p == end || *p != '/') return decodeBase64JsonTextPortable(begin, end, out);
                    c = *p++;
                }
                clean[n++] = uint8_t(c);
            }
            finished = true;
            if (n % 4 != 0) return false;
        }
        const std::size_t whole = n - n % 4;
        const std::size_t fast = decodeCleanAvx2(clean, whole, o);
        o += fast / 4 * 3;
        const long rest = decodeCleanGroups(clean + fast, whole - fast, o, finished);
        if (rest < 0) return false;
        o += rest;
        if (finished) break;
        std::memmove(clean, clean + whole, n - whole);
        n -= whole;
    }
    out.resize(o - start);
    return true;
}

const bool haveAvx2 = __builtin_cpu_supports("avx2");

} // namespace

bool decodeBase64JsonText(const char* begin, const char* end, QByteArray& out) {
    return haveAvx2 ? decodeBase64JsonTextAvx2(begin, end, out)
                    : decodeBase64JsonTextPortable(begin, end, out);
}
#else
bool decodeBase64JsonText(const char* begin, const char* end, QByteArray& out) {
    return decodeBase64JsonTextPortable(begin, end, out);
}
#endif

namespace {
// Two characters for each 12-bit value, with bit 16 set when either of them is '/', which
// JSON text writes escaped.
struct PairTable {
    uint32_t pair[4096];
};
constexpr PairTable makePairTable() {
    PairTable t{};
    for (uint32_t v = 0; v < 4096; ++v) {
        const uint32_t hi = v >> 6, lo = v & 63;
        t.pair[v] = uint32_t(uint8_t(alphabet[hi])) | uint32_t(uint8_t(alphabet[lo])) << 8 |
                    ((hi == 63 || lo == 63) ? 0x10000u : 0u);
    }
    return t;
}
constexpr PairTable pairTable = makePairTable();
} // namespace

std::size_t encodeBase64Json(const unsigned char* data, std::size_t size, char* out) {
    char* o = out;
    auto put = [&o](uint32_t sextet) {
        if (sextet == 63) *o++ = '\\';
        *o++ = alphabet[sextet];
    };
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        const uint32_t first = pairTable.pair[v >> 12], second = pairTable.pair[v & 0xFFF];
        if ((first | second) & 0x10000) {
            put(v >> 18);
            put((v >> 12) & 63);
            put((v >> 6) & 63);
            put(v & 63);
        } else {
            const uint32_t four = (first & 0xFFFF) | second << 16;
            std::memcpy(o, &four, 4);
            o += 4;
        }
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (rest == 2) v |= uint32_t(data[i + 1]) << 8;
        put(v >> 18);
        put((v >> 12) & 63);
        if (rest == 2)
            put((v >> 6) & 63);
        else
            *o++ = '=';
        *o++ = '=';
    }
    return std::size_t(o - out);
}

} // namespace pintora
