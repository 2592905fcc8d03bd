#include "model/Base64.h"

#include <QList>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
QByteArray encodeJson(const QByteArray& data) {
    QByteArray out(qsizetype(base64JsonMaxLength(std::size_t(data.size()))), '\0');
    out.truncate(
        qsizetype(encodeBase64Json(reinterpret_cast<const unsigned char*>(data.constData()),
                                   std::size_t(data.size()), out.data())));
    return out;
}

using Decoder = bool (*)(const char*, const char*, QByteArray&);

// The fastest decoder of this machine, and the portable one every machine has.
const std::pair<const char*, Decoder> decoders[] = {
    {"fastest", decodeBase64JsonText},
    {"portable", decodeBase64JsonTextPortable},
};

std::optional<QByteArray> decodeJson(const QByteArray& text, Decoder decode) {
    QByteArray out;
    if (!decode(text.constData(), text.constData() + text.size(), out)) return std::nullopt;
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
    QList<int> sizes;
    for (int size = 0; size < 300; ++size)
        sizes.append(size);
    // Sizes around the fast decoder's blocks and chunks.
    sizes.append({6143, 6144, 6145, 6150, 12288, 12290, 30000, 100001});
    for (int size : sizes) {
        const QByteArray data = randomBytes(size);
        const QByteArray standard = data.toBase64();
        const QByteArray escaped = QByteArray(standard).replace("/", "\\/");
        SCOPED_TRACE(size);
        ASSERT_EQ(encodeJson(data), escaped);
        for (const auto& [name, decode] : decoders) {
            SCOPED_TRACE(name);
            ASSERT_EQ(decodeJson(escaped, decode), data);
            ASSERT_EQ(decodeJson(standard, decode), data);
        }
    }
}

TEST(Base64, RunsOfEscapesAndBadTextInsideLongInput) {
    const QByteArray slashes(3000, '\xff'); // Base64 of 0xFF bytes is all '/'
    const QByteArray escaped = encodeJson(slashes);
    const QByteArray standard = randomBytes(9000).toBase64();
    for (const auto& [name, decode] : decoders) {
        SCOPED_TRACE(name);
        EXPECT_EQ(decodeJson(escaped, decode), slashes);
        for (qsizetype at : {qsizetype(0), qsizetype(31), qsizetype(5000), standard.size() - 5}) {
            for (const char* bad : {"*", "=", "\\n", "\\u00e9", " "}) {
                QByteArray spoiled = standard;
                spoiled.replace(at, 1, bad);
                SCOPED_TRACE(std::string(bad) + " at " + std::to_string(at));
                EXPECT_FALSE(decodeJson(spoiled, decode));
            }
        }
        QByteArray unicodeEscape = standard;
        unicodeEscape.replace(7000, 1, "\\u00" + QByteArray::number(int(standard[7000]), 16));
        EXPECT_EQ(decodeJson(unicodeEscape, decode), decodeJson(standard, decode));
    }
}

TEST(Base64, ShortTextIsReadOnlyWhenPaddedAndWellFormed) {
    const char* bad[] = {
        "A",          "AB",     "ABC",   "ABCDE",  "AB=C",      "A===",     "=AAA",
        "AB==CD==",   "ABC=D",  "ABCD=", "AB*D",   "AB D",      "ABC\\n",   "AB\\\"=",
        "\\u00e9AAA", "\\u004", "AB\\",  "ABCD\n", "ABCDEFG=H", "YQ==YQ==",
    };
    const std::pair<const char*, QByteArray> good[] = {
        {"", ""},
        {"YQ==", "a"},
        {"YWI=", "ab"},
        {"\\u0041\\u0042CD", QByteArray::fromBase64("ABCD")}};
    for (const auto& [name, decode] : decoders) {
        SCOPED_TRACE(name);
        for (const char* text : bad)
            EXPECT_FALSE(decodeJson(text, decode)) << text;
        for (const auto& [text, bytes] : good)
            EXPECT_EQ(decodeJson(text, decode), bytes) << text;
    }
}
