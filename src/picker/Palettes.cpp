#include "picker/Palettes.h"

namespace pintora {

namespace {

ColorList fromHex(const char* name,
                  std::initializer_list<std::pair<const char*, const char*>> rows) {
    ColorList list{QString::fromLatin1(name), {}};
    for (const auto& [entry, hex] : rows) {
        list.entries.append(
            {QString::fromLatin1(entry), QColor::fromString(QLatin1StringView(hex))});
    }
    return list;
}

// The named colours of CSS, in the order of the colour wheel rather than the alphabet, so a
// page of the grid reads as a palette.
ColorList cssColors() {
    ColorList list{QStringLiteral("CSS Colors"), {}};
    for (const QString& name : QColor::colorNames()) {
        if (name == QLatin1StringView("transparent")) continue;
        list.entries.append({name, QColor::fromString(name)});
    }
    std::stable_sort(list.entries.begin(), list.entries.end(), [](const auto& a, const auto& b) {
        const bool greyA = a.color.hsvSaturation() < 25, greyB = b.color.hsvSaturation() < 25;
        if (greyA != greyB) return !greyA;
        if (greyA) return a.color.value() > b.color.value();
        return a.color.hsvHue() < b.color.hsvHue();
    });
    return list;
}

} // namespace

const QList<ColorList>& builtInColorLists() {
    static const QList<ColorList> lists{
        fromHex("Annotation",
                {{"Red", "#FF3B30"},        {"Orange", "#FF9500"},    {"Yellow", "#FFCC00"},
                 {"Green", "#34C759"},      {"Mint", "#00C7BE"},      {"Teal", "#30B0C7"},
                 {"Cyan", "#32ADE6"},       {"Blue", "#007AFF"},      {"Indigo", "#5856D6"},
                 {"Purple", "#AF52DE"},     {"Pink", "#FF2D55"},      {"Brown", "#A2845E"},
                 {"Black", "#000000"},      {"Dark Gray", "#3A3A3C"}, {"Gray", "#8E8E93"},
                 {"Light Gray", "#C7C7CC"}, {"White", "#FFFFFF"},     {"Critical", "#B3261E"},
                 {"Warning", "#7C3F00"},    {"Success", "#1E6B34"}}),
        cssColors(),
        fromHex("Tango", {{"Butter 1", "#FCE94F"},      {"Butter 2", "#EDD400"},
                          {"Butter 3", "#C4A000"},      {"Orange 1", "#FCAF3E"},
                          {"Orange 2", "#F57900"},      {"Orange 3", "#CE5C00"},
                          {"Chocolate 1", "#E9B96E"},   {"Chocolate 2", "#C17D11"},
                          {"Chocolate 3", "#8F5902"},   {"Chameleon 1", "#8AE234"},
                          {"Chameleon 2", "#73D216"},   {"Chameleon 3", "#4E9A06"},
                          {"Sky Blue 1", "#729FCF"},    {"Sky Blue 2", "#3465A4"},
                          {"Sky Blue 3", "#204A87"},    {"Plum 1", "#AD7FA8"},
                          {"Plum 2", "#75507B"},        {"Plum 3", "#5C3566"},
                          {"Scarlet Red 1", "#EF2929"}, {"Scarlet Red 2", "#CC0000"},
                          {"Scarlet Red 3", "#A40000"}, {"Aluminium 1", "#EEEEEC"},
                          {"Aluminium 2", "#D3D7CF"},   {"Aluminium 3", "#BABDB6"},
                          {"Aluminium 4", "#888A85"},   {"Aluminium 5", "#555753"},
                          {"Aluminium 6", "#2E3436"}}),
        fromHex("Solarized", {{"base03", "#002B36"},
                              {"base02", "#073642"},
                              {"base01", "#586E75"},
                              {"base00", "#657B83"},
                              {"base0", "#839496"},
                              {"base1", "#93A1A1"},
                              {"base2", "#EEE8D5"},
                              {"base3", "#FDF6E3"},
                              {"yellow", "#B58900"},
                              {"orange", "#CB4B16"},
                              {"red", "#DC322F"},
                              {"magenta", "#D33682"},
                              {"violet", "#6C71C4"},
                              {"blue", "#268BD2"},
                              {"cyan", "#2AA198"},
                              {"green", "#859900"}}),
    };
    return lists;
}

} // namespace pintora
