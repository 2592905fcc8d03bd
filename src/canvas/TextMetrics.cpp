#include "canvas/TextMetrics.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QSizeF>
#include <QTextLayout>
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

QSizeF measureText(const QString& text, double fontSize, std::optional<double> wrapWidth) {
    const QFont font = itemFont(fontSize);
    const double lineHeight = QFontMetricsF(font).lineSpacing();
    double width = 0;
    double height = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(wrapWidth ? textWrapMode : QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            if (wrapWidth) line.setLineWidth(std::max(*wrapWidth, 1.0));
            width = std::max(width, line.naturalTextWidth());
            height += lineHeight;
        }
        layout.endLayout();
    }
    if (wrapWidth) width = *wrapWidth;
    return {std::ceil(width) + 2 * textInset, std::ceil(height) + 2 * textInset};
}

} // namespace pintora
