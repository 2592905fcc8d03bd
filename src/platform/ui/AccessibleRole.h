#pragma once

#include <QAccessible>

class QWidget;

namespace pintora {

// Gives `widget` the accessible role `role` in place of its class's (a canvas, an alert), so
// that a screen reader says what it is; its name, description and states stay as Qt reports
// them. Call it before the widget is first shown.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

} // namespace pintora
