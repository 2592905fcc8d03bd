#include "platform/ui/ReturnPressesButtons.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>

namespace pintora {

ReturnPressesButtons::ReturnPressesButtons(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool ReturnPressesButtons::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier) || key->isAutoRepeat())
        return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || !button->hasFocus() || !button->isEnabled()) return false;
    auto* tool = qobject_cast<QToolButton*>(button);
    if (tool && tool->menu() && tool->popupMode() != QToolButton::DelayedPopup)
        tool->showMenu();
    else
        button->animateClick();
    return true;
}

} // namespace pintora
