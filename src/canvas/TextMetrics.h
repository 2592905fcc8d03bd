#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>
#include <QTextOption>
#include <optional>

namespace pintora {

// Text items are set in the application font, semibold, `fontSize` canvas units tall.
QFont itemFont(double fontSize);

// The height of one line of that font, rounded up to a whole point.
double lineHeight(double fontSize);

// The smallest note card for a font size: wide enough for about eight em, two lines tall.
QSizeF noteMinimumSize(double fontSize);

// How text wraps in the editor, when measured and when drawn: at word boundaries, and inside a
// word (a long address, a hash) only where it does not fit on a line of its own.
inline constexpr QTextOption::WrapMode textWrapMode = QTextOption::WrapAtWordBoundaryOrAnywhere;

// The text editor's inset on each side, in canvas units.
inline constexpr double textInset = 4;

// The size the text takes when laid out in its font, plus the inset on every side: the width
// of the longest line (or `wrapWidth`, wrapping as `textWrapMode` says, when given) and the height
// of all lines. Empty text still takes one line.
QSizeF measureText(const QString& text, double fontSize, std::optional<double> wrapWidth);

} // namespace pintora
