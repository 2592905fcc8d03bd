#include "model/Base64.h"

#include "model/LargeBuffer.h"

#include <array>
#include <cstdint>
#include <cstring>

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
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The next character of the string's value, JSON escapes resolved; only ASCII can be Base64.
int nextChar(const char*& p, const char* end) {
    if (p == end)
        return endOfText;
    const char c = *p++;
    if (c != '\\')
        return uint8_t(c);
    if (p == end)
        return badText;
    const char e = *p++;
    if (e == '/')
        return '/';
    if (e != 'u' || end - p < 4)
        return badText; // any other escape stands for a character Base64 does not use
    int code = 0;
    for (int i = 0; i < 4; ++i) {
        const int h = hexValue(p[i]);
        if (h < 0)
            return badText;
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
        if (c[i] < 0)
            return -1;
        if (c[i] == '=') {
            if (i < 2)
                return -1;
            ++padding;
            s[i] = 0;
            continue;
        }
        if (padding > 0)
            return -1; // a digit after padding
        const uint8_t v = decodeTable[uint8_t(c[i])];
        if (v >= 64)
            return -1;
        s[i] = v;
    }
    const uint32_t v = s[0] << 18 | s[1] << 12 | s[2] << 6 | s[3];
    o[0] = uint8_t(v >> 16);
    o[1] = uint8_t(v >> 8);
    o[2] = uint8_t(v);
    if (padding > 0) {
        if (nextChar(p, end) != endOfText)
            return -1; // padding only ends the text
        done = true;
    }
    return 3 - padding;
}

} // namespace

bool decodeBase64JsonText(const char* p, const char* end, QByteArray& out) {
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
            if ((a | b | c | d | e | f | g | h) & 0x80)
                break;
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
        if (written < 0)
            return false;
        o += written;
        in = reinterpret_cast<const uint8_t*>(q);
        if (done)
            break;
    }
    out.resize(o - start);
    return true;
}

std::size_t encodeBase64Json(const unsigned char* data, std::size_t size, char* out) {
    char* o = out;
    auto put = [&o](uint32_t sextet) {
        if (sextet == 63)
            *o++ = '\\';
        *o++ = alphabet[sextet];
    };
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        const uint32_t s0 = v >> 18, s1 = (v >> 12) & 63, s2 = (v >> 6) & 63, s3 = v & 63;
        // s + 1 reaches 64 only for 63, the '/' that needs its escape.
        if (((s0 + 1) | (s1 + 1) | (s2 + 1) | (s3 + 1)) & 64) {
            put(s0);
            put(s1);
            put(s2);
            put(s3);
        } else {
            o[0] = alphabet[s0];
            o[1] = alphabet[s1];
            o[2] = alphabet[s2];
            o[3] = alphabet[s3];
            o += 4;
        }
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (rest == 2)
            v |= uint32_t(data[i + 1]) << 8;
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
