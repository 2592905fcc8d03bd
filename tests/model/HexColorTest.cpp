// The fuzzer checks that whatever reads writes back the same; these pin what reads at all.
#include "model/HexColor.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(HexColor, ParsesSixAndEightDigitsWithOptionalHashAndBlanks) {
    const QColor red = QColor::fromRgba64(0xFF * 257, 0x3B * 257, 0x30 * 257);
    const QColor halfRed = QColor::fromRgba64(0xFF * 257, 0x3B * 257, 0x30 * 257, 128 * 257);
    const std::pair<const char*, std::optional<QColor>> cases[] = {
        {" #ff3b30\n", red}, {"FF3B30", red},  {"#FF3B3080", halfRed}, {"#FFF", {}},
        {"#FF3B3G", {}},     {"##FF3B30", {}}, {"#FF 3B30", {}},       {"#FF3B30F", {}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const auto parsed = colorFromHex(QString::fromUtf8(text));
        EXPECT_EQ(parsed.has_value(), expected.has_value());
        EXPECT_EQ(parsed.value_or(QColor()).rgba64(), expected.value_or(QColor()).rgba64());
    }
}

TEST(HexColor, FormatTruncatesComponents) {
    EXPECT_EQ(toHex(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), "#7F7F7F");
    EXPECT_EQ(toHex(QColor()), "#000000"); // no components: black
    EXPECT_EQ(toHex(QColor::fromHsv(0, 255, 255)), "#FF0000");
}
