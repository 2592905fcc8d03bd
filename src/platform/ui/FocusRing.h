#pragma once

class QKeyEvent;
class QWidget;

namespace pintora {

// Repaints `widget` whenever it gains or loses the keyboard, for a widget that draws its own
// focus ring.
void repaintOnFocus(QWidget* widget);

// Space, Return or Enter without Ctrl or Alt: the keys that press a button.
bool isPressKey(const QKeyEvent* event);

} // namespace pintora
