#include "model/TextStyle.h"

namespace pintora {

namespace {
constexpr TextStyleLook looks[] = {
    {"plain", "Plain", false, "#000000", "#FFFFFF", "#000000"},
    {"critical", "Critical", true, "#7A1F1F", "#FDECEC", "#D93838"},
    {"warning", "Warning", true, "#7C3F00", "#FFF4D6", "#E0A82E"},
    {"success", "Success", true, "#0F5132", "#D7F2DF", "#3FAE6A"},
};
} // namespace

const TextStyleLook& lookOf(TextStyle style) {
    return looks[int(style)];
}

std::optional<TextStyle> textStyleFromRaw(std::string_view raw) {
    for (TextStyle style : allTextStyles)
        if (lookOf(style).rawValue == raw) return style;
    return std::nullopt;
}

} // namespace pintora
