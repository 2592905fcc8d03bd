#include "platform/ui/FocusRing.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

namespace pintora {

namespace {
class FocusRepaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            static_cast<QWidget*>(watched)->update();
        return false;
    }
};
} // namespace

void repaintOnFocus(QWidget* widget) {
    widget->installEventFilter(new FocusRepaint(widget));
}

void paintFocusRing(QPainter& painter, const QWidget* widget, double radius) {
    if (!widget->hasFocus()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(widget->palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(widget->rect()).adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

bool isPressKey(const QKeyEvent* event) {
    const int key = event->key();
    return (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

} // namespace pintora
