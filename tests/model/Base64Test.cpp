#include "model/Base64.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
QByteArray encodeJson(const QByteArray& data) {
    QByteArray out(qsizetype(base64JsonMaxLength(std::size_t(data.size()))), '\0');
    const auto n = encodeBase64Json(reinterpret_cast<const unsigned char*>(data.constData()),
                                    std::size_t(data.size()), out.data());
    out.truncate(qsizetype(n));
    return out;
}

std::optional<QByteArray> decodeJson(const QByteArray& text) {
    QByteArray out;
    if (!decodeBase64JsonText(text.constData(), text.constData() + text.size(), out))
        return std::nullopt;
    return out;
}

QByteArray randomBytes(int size) {
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}
} // namespace

TEST(Base64, AgreesWithQtInBothDirectionsForEveryLength) {
    for (int size = 0; size < 200; ++size) {
        const QByteArray data = randomBytes(size);
        const QByteArray standard = data.toBase64();
        const QByteArray escaped = QByteArray(standard).replace("/", "\\/");
        SCOPED_TRACE(size);
        EXPECT_EQ(encodeJson(data), escaped);
        EXPECT_EQ(decodeJson(escaped), data);
        EXPECT_EQ(decodeJson(standard), data);
    }
}

TEST(Base64, EverySextetValueRoundTrips) {
    // Bytes 0..255 repeated in three phases cover every sextet, '/' included, in each position.
    QByteArray data;
    for (int i = 0; i < 3 * 256; ++i)
        data.append(char(i * 7));
    const QByteArray text = encodeJson(data);
    EXPECT_TRUE(text.contains("\\/"));
    EXPECT_FALSE(text.contains("//"));
    EXPECT_EQ(decodeJson(text), data);
}

TEST(Base64, ReadsUnicodeEscapesOfDigits) {
    EXPECT_EQ(decodeJson("\\u0041\\u0042CD"), QByteArray::fromBase64("ABCD"));
}

TEST(Base64, RefusesWhatIsNotPaddedBase64) {
    const char* bad[] = {
        "A",        "AB",        "ABC",      "ABCDE",    "AB=C",    "A===",      "=AAA",
        "AB==CD==", "ABC=D",     "ABCD=",    "AB*D",     "AB D",    "ABC\\n",    "AB\\\"=",
        "\\u00e9AAA", "\\u004",  "AB\\",     "ABCD\n",   "ABCDEFG=H", "YQ==YQ==",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(decodeJson(text));
    }
    EXPECT_EQ(decodeJson(""), QByteArray());
    EXPECT_EQ(decodeJson("YQ=="), QByteArray("a"));
    EXPECT_EQ(decodeJson("YWI="), QByteArray("ab"));
}
