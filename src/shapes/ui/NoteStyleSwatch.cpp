#include "shapes/ui/NoteStyleSwatch.h"

#include "model/HexColor.h"

#include <QPainter>

namespace pintora {

NoteStyleSwatch::NoteStyleSwatch(TextStyle style, bool current, QWidget* parent)
    : QToolButton(parent), style_(style), current_(current) {
    setFixedSize(26, 22);
    setToolTip(QString::fromLatin1(lookOf(style).displayName));
    setCursor(Qt::PointingHandCursor);
}

void NoteStyleSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch(2, 2, 22, 18);
    if (current_) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(swatch.adjusted(-1, -1, 1, 1), 5, 5);
    }
    const TextStyleLook& look = lookOf(style_);
    p.setPen(QPen(colorFromHex(QString::fromLatin1(look.borderHex)).value_or(Qt::gray), 1));
    p.setBrush(colorFromHex(QString::fromLatin1(look.backgroundHex)).value_or(Qt::white));
    p.drawRoundedRect(swatch.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

} // namespace pintora
