#include "picker/ColorPickerModel.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
ColorList listOf(const QString& name, int count) {
    ColorList list{name, {}};
    for (int i = 0; i < count; ++i)
        list.entries.append({QStringLiteral("c%1").arg(i), QColor::fromHsv(i * 4 % 360, 200, 200)});
    return list;
}
} // namespace

TEST(ColorPickerModel, HexSubmitTrimsSpacesAndTabs) {
    EXPECT_EQ(ColorPickerModel(QStringLiteral(" \t#ABC123\t "), {}).submittedHex(),
              QStringLiteral("#ABC123"));
    EXPECT_FALSE(ColorPickerModel(QStringLiteral("  \t "), {}).submittedHex());
}

TEST(ColorPickerModel, PalettesPageAndShowSixtyInRowsOfTen) {
    ColorPickerModel model(QString(),
                           {listOf("First", 75), listOf(QString(), 3), listOf("Third", 0)});
    const auto rows = model.rows();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.last().last().name, QStringLiteral("c59"));
    EXPECT_FALSE(model.canGoBack());
    model.nextPalette();
    EXPECT_EQ(model.paletteTitle(), QStringLiteral("Palette 2")) << "a list without a name";
    model.nextPalette();
    model.nextPalette();
    EXPECT_EQ(model.paletteIndex(), 2) << "stops at the last";
    EXPECT_TRUE(model.rows().isEmpty());

    ColorList gaps = listOf("Gaps", 12);
    gaps.entries[3].color = QColor();
    EXPECT_EQ(ColorPickerModel(QString(), {gaps}).rows()[1].size(), 1) << "no colour, no entry";
    for (const ColorList& list : builtInColorLists())
        for (const auto& entry : list.entries)
            EXPECT_TRUE(entry.color.isValid()) << entry.name.toStdString();
}
