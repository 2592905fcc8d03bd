#pragma once

#include <QByteArray>
#include <cstddef>

namespace pintora {

// Decodes standard, padded Base64 given as the raw text of a JSON string (what stands between
// its quotes): escapes such as "\/" are taken as the characters they stand for. Returns false,
// leaving `out` unspecified, on anything that is not Base64.
bool decodeBase64JsonText(const char* begin, const char* end, QByteArray& out);

// The same without SIMD, for every kind of escape; what machines without AVX2 use.
bool decodeBase64JsonTextPortable(const char* begin, const char* end, QByteArray& out);

// The most characters encodeBase64Json writes for `size` bytes (every '/' escaped).
constexpr std::size_t base64JsonMaxLength(std::size_t size) {
    return (size + 2) / 3 * 8;
}

// Writes `size` bytes as padded Base64 into `out`, every '/' written as "\/" the way the
// document encoder writes strings; returns the number of characters written.
std::size_t encodeBase64Json(const unsigned char* data, std::size_t size, char* out);

} // namespace pintora
