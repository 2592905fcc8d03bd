#include "platform/ui/PopupAnchor.h"

#include <QAbstractButton>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

namespace pintora {

PopupAnchor::PopupAnchor(QWidget* anchor) : QObject(anchor), anchor_(anchor) {
    anchor_->installEventFilter(this);
}

void PopupAnchor::watch(QWidget* popup) {
    swallowRelease_ = false;
    popup->installEventFilter(this);
}

bool PopupAnchor::eventFilter(QObject* watched, QEvent* event) {
    if (watched != anchor_) {
        if (event->type() == QEvent::Hide) {
            swallowRelease_ = (QGuiApplication::mouseButtons() & Qt::LeftButton) &&
                              anchor_->rect().contains(anchor_->mapFromGlobal(QCursor::pos()));
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease && swallowRelease_) {
        swallowRelease_ = false;
        // A button that is not down lets its release pass without a click.
        if (auto* button = qobject_cast<QAbstractButton*>(anchor_)) {
            button->setDown(false);
            return false;
        }
        return true;
    }
    return false;
}

} // namespace pintora
