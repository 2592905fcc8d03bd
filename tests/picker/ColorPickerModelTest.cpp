#include "picker/ColorPickerModel.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
ColorList listOf(const QString& name, int count) {
    ColorList list{name, {}};
    for (int i = 0; i < count; ++i) {
        list.entries.append({QStringLiteral("c%1").arg(i), QColor::fromHsv(i * 4 % 360, 200, 200)});
    }
    return list;
}
} // namespace

TEST(ColorPickerModel, HexSubmitTrimsBlanksOnly) {
    struct Case {
        const char* input;
        std::optional<QString> submitted;
    };
    for (const Case& k :
         {Case{"#00ff00", QStringLiteral("#00ff00")},
          Case{" \t#ABC123\t ", QStringLiteral("#ABC123")}, Case{"zz", QStringLiteral("zz")},
          Case{"  \t ", std::nullopt}, Case{"", std::nullopt},
          Case{"\n#FF0000 ", QStringLiteral("\n#FF0000")}}) {
        ColorPickerModel model(QString::fromLatin1(k.input), {});
        EXPECT_EQ(model.submittedHex(), k.submitted) << k.input;
    }
}

TEST(ColorPickerModel, PalettesPageAndShowSixtyInRowsOfTen) {
    ColorPickerModel model(QString(),
                           {listOf("First", 75), listOf(QString(), 3), listOf("Third", 0)});
    EXPECT_TRUE(model.hasHeader());
    const auto rows = model.rows();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.last().size(), 10);
    EXPECT_EQ(rows.last().last().name, QStringLiteral("c59"));
    EXPECT_FALSE(model.canGoBack());
    model.nextPalette();
    EXPECT_EQ(model.paletteTitle(), QStringLiteral("Palette 2"));
    EXPECT_EQ(model.rows().size(), 1);
    model.nextPalette();
    model.nextPalette();
    EXPECT_EQ(model.paletteIndex(), 2);
    EXPECT_FALSE(model.canGoForward());
    EXPECT_TRUE(model.rows().isEmpty());

    ColorList gaps = listOf("Gaps", 12);
    gaps.entries[3].color = QColor();
    EXPECT_EQ(ColorPickerModel(QString(), {gaps}).rows()[0].size(), 10);
    EXPECT_EQ(ColorPickerModel(QString(), {gaps}).rows()[1].size(), 1) << "no colour, no entry";
    EXPECT_FALSE(ColorPickerModel(QString(), {gaps}).hasHeader());
    EXPECT_TRUE(ColorPickerModel(QString(), {}).rows().isEmpty());
}

TEST(ColorPickerModel, ShippedPalettesAreNamedAndComplete) {
    const QList<ColorList>& lists = builtInColorLists();
    ASSERT_GE(lists.size(), 3);
    for (const ColorList& list : lists) {
        EXPECT_FALSE(list.name.isEmpty());
        EXPECT_FALSE(list.entries.isEmpty()) << list.name.toStdString();
        for (const auto& entry : list.entries)
            EXPECT_TRUE(entry.color.isValid()) << entry.name.toStdString();
    }
    EXPECT_EQ(lists[1].entries.size(), QColor::colorNames().size() - 1) << "every CSS colour";
}
