#pragma once

#include <QByteArray>
#include <QStringView>
#include <functional>
#include <string_view>
#include <vector>

namespace pintora {

// Writes compact JSON the way the document files are written: "/" as "\/", non-ASCII as raw
// UTF-8, integral numbers without fraction. Output is buffered and handed to `sink` in chunks,
// so a file of hundreds of MB never stands whole in memory. The caller places commas.
class JsonWriter {
public:
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    explicit JsonWriter(Sink sink, std::size_t bufferSize = std::size_t(1) << 20);

    void raw(std::string_view text);
    void ch(char c) { ensure(1), buffer_[used_++] = c; }
    void key(std::string_view name); // "name":
    void string(QStringView text);
    void string(std::string_view utf8);
    // Only finite numbers; the encoder checks and reports the others.
    void number(double value);
    void integer(qint64 value);
    void boolean(bool value) { raw(value ? "true" : "false"); }
    void base64(const QByteArray& bytes); // a JSON string of Base64

    // Hands the rest to the sink; false if the sink failed at any point.
    bool finish();

private:
    void ensure(std::size_t room);
    void flush();

    Sink sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// The text of one number as the writer writes it.
std::string formatJsonNumber(double value);

} // namespace pintora
