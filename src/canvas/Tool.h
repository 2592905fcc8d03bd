#pragma once

#include <QString>
#include <array>
#include <optional>

namespace pintora {

// The drawing tools of the annotate tab; `select` picks and moves items.
enum class Tool { select, rect, ellipse, arrow, line, callout, text, note, redact };

// In the order of the toolbar's buttons.
inline constexpr std::array<Tool, 9> allTools{Tool::select, Tool::rect, Tool::ellipse,
                                              Tool::arrow,  Tool::line, Tool::callout,
                                              Tool::text,   Tool::note, Tool::redact};

struct ToolInfo {
    const char* id;     // the raw value, also stored as a tool's identity
    const char* symbol; // icon name
    char shortcutKey;   // lower case
};

const ToolInfo& infoOf(Tool tool);

// The raw value with its first letter capitalised: "Select", "Rect".
QString displayName(Tool tool);

// "Select (V)", "Rect (R)": the raw value capitalised, then the key in upper case.
QString toolTip(Tool tool);

// The tool whose key this is, compared in lower case; none for any other key.
std::optional<Tool> toolForShortcut(QChar key);

// The tools that draw a shape and may start a move instead when the drag begins on an item.
inline bool isShapeTool(Tool tool) {
    return tool == Tool::rect || tool == Tool::ellipse || tool == Tool::arrow ||
           tool == Tool::line || tool == Tool::callout;
}

} // namespace pintora
