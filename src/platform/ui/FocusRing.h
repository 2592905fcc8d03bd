#pragma once

class QKeyEvent;
class QPainter;
class QWidget;

namespace pintora {

// Repaints `widget` whenever it gains or loses the keyboard, for a widget that draws its own
// focus ring.
void repaintOnFocus(QWidget* widget);

// The ring a focused `widget` draws just inside its edge, its corners rounded by `radius`;
// nothing when it has no focus.
void paintFocusRing(QPainter& painter, const QWidget* widget, double radius);

// Space, Return or Enter without Ctrl or Alt: the keys that press a button.
bool isPressKey(const QKeyEvent* event);

} // namespace pintora
