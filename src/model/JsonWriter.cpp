#include "model/JsonWriter.h"

#include "model/Base64.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace pintora {

JsonWriter::JsonWriter(Sink sink, std::size_t bufferSize)
    : sink_(std::move(sink)), buffer_(bufferSize) {}

void JsonWriter::flush() {
    if (used_ > 0 && !failed_ && !sink_(buffer_.data(), used_)) failed_ = true;
    used_ = 0;
}

void JsonWriter::ensure(std::size_t room) {
    if (buffer_.size() - used_ >= room) return;
    flush();
    if (buffer_.size() < room) buffer_.resize(room);
}

void JsonWriter::raw(std::string_view text) {
    ensure(text.size());
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
}

void JsonWriter::key(std::string_view name) {
    ensure(name.size() + 3);
    char* o = buffer_.data() + used_;
    *o++ = '"';
    std::memcpy(o, name.data(), name.size());
    o += name.size();
    *o++ = '"';
    *o++ = ':';
    used_ += name.size() + 3;
}

void JsonWriter::string(QStringView text) {
    // With its size: text may hold NUL characters, where a C string would end.
    const QByteArray utf8 = text.toUtf8();
    string(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

void JsonWriter::string(std::string_view utf8) {
    static constexpr char hex[] = "0123456789abcdef";
    ensure(utf8.size() * 6 + 2); // \u00XX is the longest a byte becomes
    char* const start = buffer_.data() + used_;
    char* o = start;
    *o++ = '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (u) {
        case '"':
            *o++ = '\\', *o++ = '"';
            break;
        case '\\':
            *o++ = '\\', *o++ = '\\';
            break;
        case '/':
            *o++ = '\\', *o++ = '/';
            break;
        case '\b':
            *o++ = '\\', *o++ = 'b';
            break;
        case '\f':
            *o++ = '\\', *o++ = 'f';
            break;
        case '\n':
            *o++ = '\\', *o++ = 'n';
            break;
        case '\r':
            *o++ = '\\', *o++ = 'r';
            break;
        case '\t':
            *o++ = '\\', *o++ = 't';
            break;
        default:
            if (u < 0x20) {
                std::memcpy(o, "\\u00", 4);
                o[4] = hex[u >> 4];
                o[5] = hex[u & 15];
                o += 6;
            } else {
                *o++ = c;
            }
        }
    }
    *o++ = '"';
    used_ += std::size_t(o - start);
}

std::string formatJsonNumber(double value) {
    char text[400]; // the longest fixed form of a double is 309 digits and a sign
    std::to_chars_result result;
    if (value == std::trunc(value))
        // Integral values never get a fraction or an exponent: 1280, not 1280.0 or 1.28e+03.
        result = std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed);
    else
        result = std::to_chars(std::begin(text), std::end(text), value);
    return std::string(text, result.ptr);
}

void JsonWriter::number(double value) {
    raw(formatJsonNumber(value));
}

void JsonWriter::integer(qint64 value) {
    char text[24];
    const auto result = std::to_chars(std::begin(text), std::end(text), value);
    raw(std::string_view(text, std::size_t(result.ptr - text)));
}

void JsonWriter::base64(const QByteArray& bytes) {
    // Encode in slices so that the buffer stays small whatever the picture's size.
    constexpr std::size_t slice = 3 * 64 * 1024;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const std::size_t size = std::size_t(bytes.size());
    ch('"');
    for (std::size_t offset = 0; offset < size; offset += slice) {
        const std::size_t n = std::min(slice, size - offset);
        ensure(base64JsonMaxLength(n));
        used_ += encodeBase64Json(data + offset, n, buffer_.data() + used_);
    }
    ch('"');
}

bool JsonWriter::finish() {
    flush();
    return !failed_;
}

} // namespace pintora
