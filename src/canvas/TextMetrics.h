#pragma once

#include <QFont>

namespace pintora {

// Text items are set in the application font, semibold, `fontSize` canvas units tall.
QFont itemFont(double fontSize);

// The height of one line of that font, rounded up to a whole point.
double lineHeight(double fontSize);

// The smallest note card for a font size: wide enough for about eight em, two lines tall.
QSizeF noteMinimumSize(double fontSize);

} // namespace pintora
