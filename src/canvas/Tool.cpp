#include "canvas/Tool.h"

namespace pintora {

const ToolInfo& infoOf(Tool tool) {
    static constexpr std::array<ToolInfo, allTools.size()> table{{
        {"select", "cursorarrow", 'v'},
        {"rect", "rectangle", 'r'},
        {"ellipse", "oval", 'o'},
        {"arrow", "arrow.up.right", 'a'},
        {"line", "line.diagonal", 'l'},
        {"callout", "smallcircle.filled.circle", 'c'},
        {"text", "textformat", 't'},
        {"note", "note.text", 'n'},
        {"redact", "redact", 'x'},
    }};
    return table[static_cast<size_t>(tool)];
}

QString displayName(Tool tool) {
    QString name = QString::fromLatin1(infoOf(tool).id);
    name[0] = name[0].toUpper();
    return name;
}

QString toolTip(Tool tool) {
    return QStringLiteral("%1 (%2)").arg(displayName(tool),
                                         QChar::fromLatin1(infoOf(tool).shortcutKey).toUpper());
}

std::optional<Tool> toolForShortcut(QChar key) {
    const QChar lower = key.toLower();
    for (Tool tool : allTools) {
        if (lower == QChar::fromLatin1(infoOf(tool).shortcutKey)) {
            return tool;
        }
    }
    return std::nullopt;
}

} // namespace pintora
