#pragma once

#include <QColor>
#include <QString>
#include <QStringView>
#include <optional>

namespace pintora {

// Parses "#RRGGBB" or "#RRGGBBAA" (the "#" optional, digits in either case, blanks around
// ignored) into an sRGB colour; anything else is no colour.
std::optional<QColor> colorFromHex(QStringView text);

// Writes "#RRGGBB" in upper case; components are truncated, not rounded, and alpha is dropped.
QString toHex(const QColor& color);

} // namespace pintora
