#include "shapes/ui/NoteStyleSwatch.h"

#include "model/HexColor.h"

#include <QPainter>

namespace pintora {

NoteStyleSwatch::NoteStyleSwatch(TextStyle style, QWidget* parent)
    : QToolButton(parent), style_(style) {
    setFixedSize(26, 22);
    setToolTip(QString::fromLatin1(lookOf(style).displayName));
    setCursor(Qt::PointingHandCursor);
    setCheckable(true);
}

void NoteStyleSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch(2, 2, 22, 18);
    if (isChecked()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(swatch.adjusted(-1, -1, 1, 1), 5, 5);
    }
    if (hasFocus()) {
        QPen focus(palette().color(QPalette::Highlight), 1, Qt::DotLine);
        p.setPen(focus);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }
    const TextStyleLook& look = lookOf(style_);
    p.setPen(QPen(colorFromHex(QString::fromLatin1(look.borderHex)).value_or(Qt::gray), 1));
    p.setBrush(colorFromHex(QString::fromLatin1(look.backgroundHex)).value_or(Qt::white));
    p.drawRoundedRect(swatch.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

} // namespace pintora
