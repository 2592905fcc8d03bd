#pragma once

#include <QAccessible>

class QWidget;

namespace pintora {

// Gives `widget` the accessible role `role` in place of its class's (a canvas, an alert), so
// that a screen reader says what it is; its name, description and states stay as Qt reports
// them. Call it first, before anything (a name) makes Qt build the widget's interface.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

} // namespace pintora
