#include "canvas/TextMetrics.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QSizeF>
#include <algorithm>
#include <cmath>

namespace pintora {

QFont itemFont(double fontSize) {
    QFont font = QGuiApplication::font();
    // Pixel sizes keep text the same size on the canvas and in the export, whatever the DPI.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontSize))));
    font.setWeight(QFont::DemiBold);
    return font;
}

double lineHeight(double fontSize) {
    return std::ceil(QFontMetricsF(itemFont(fontSize)).height());
}

QSizeF noteMinimumSize(double fontSize) {
    return {std::max(8 * fontSize, 220.0), std::max(2 * lineHeight(fontSize) + 24, 80.0)};
}

} // namespace pintora
