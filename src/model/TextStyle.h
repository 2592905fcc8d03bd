#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace pintora {

// Plain text or one of the three note-card styles.
enum class TextStyle { plain, critical, warning, success };

inline constexpr std::array<TextStyle, 4> allTextStyles{TextStyle::plain, TextStyle::critical,
                                                        TextStyle::warning, TextStyle::success};

// The fixed presentation of each style.
struct TextStyleLook {
    std::string_view rawValue;
    const char* displayName;
    bool isCard;
    const char* foregroundHex;
    const char* backgroundHex;
    const char* borderHex;
};

const TextStyleLook& lookOf(TextStyle style);
inline std::string_view rawValue(TextStyle style) {
    return lookOf(style).rawValue;
}
inline bool isCard(TextStyle style) {
    return lookOf(style).isCard;
}
std::optional<TextStyle> textStyleFromRaw(std::string_view raw);

} // namespace pintora
