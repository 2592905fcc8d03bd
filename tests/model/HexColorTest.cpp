#include "model/HexColor.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(HexColor, ParsesSixAndEightDigitsWithOptionalHashAndBlanks) {
    const QColor red = QColor::fromRgba64(0xFF * 257, 0x3B * 257, 0x30 * 257);
    struct Case {
        const char* text;
        std::optional<QColor> expected;
    };
    const Case cases[] = {
        {"#FF3B30", red},
        {" #ff3b30\n", red},
        {"FF3B30", red},
        {"\t#Ff3B30  ", red},
        {"#FF3B3080", QColor::fromRgba64(0xFF * 257, 0x3B * 257, 0x30 * 257, 128 * 257)},
        {"FF3B3080", QColor::fromRgba64(0xFF * 257, 0x3B * 257, 0x30 * 257, 128 * 257)},
        {"#FFF", std::nullopt},
        {"#FF3B3", std::nullopt},
        {"#FF3B3G", std::nullopt},
        {"", std::nullopt},
        {"#", std::nullopt},
        {"##FF3B30", std::nullopt},
        {"#FF 3B30", std::nullopt},
        {"#FF3B30F", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = colorFromHex(QString::fromUtf8(c.text));
        ASSERT_EQ(parsed.has_value(), c.expected.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->rgba64(), c.expected->rgba64());
        }
    }
}

TEST(HexColor, AlphaIsReadButNeverWritten) {
    const auto color = colorFromHex(u"#FF3B3080");
    ASSERT_TRUE(color);
    EXPECT_NEAR(color->alphaF(), 128.0 / 255.0, 1e-6);
    EXPECT_EQ(toHex(*color), "#FF3B30");
}

TEST(HexColor, FormatTruncatesComponents) {
    QColor grey;
    grey.setRgbF(0.5f, 0.5f, 0.5f);
    EXPECT_EQ(toHex(grey), "#7F7F7F");
    EXPECT_EQ(toHex(QColor(Qt::white)), "#FFFFFF");
    EXPECT_EQ(toHex(QColor(Qt::black)), "#000000");
    EXPECT_EQ(toHex(QColor()), "#000000"); // no components: black
    EXPECT_EQ(toHex(QColor::fromHsv(0, 255, 255)), "#FF0000");
}

TEST(HexColor, EveryComponentValueSurvivesParseAndFormat) {
    for (int v = 0; v < 256; ++v) {
        for (int channel = 0; channel < 3; ++channel) {
            int rgb[3] = {0x12, 0x34, 0x56};
            rgb[channel] = v;
            const QString hex = QString::asprintf("#%02X%02X%02X", rgb[0], rgb[1], rgb[2]);
            const auto color = colorFromHex(hex);
            ASSERT_TRUE(color) << hex.toStdString();
            ASSERT_EQ(toHex(*color), hex);
        }
    }
}
