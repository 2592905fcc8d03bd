#include "canvas/CanvasController.h"
#include "canvas/ui/CanvasPane.h"
#include "model/PintoraDocument.h"
#include "window/ui/ContentView.h"
#include "window/ui/FocusedText.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QTabBar>
#include <QWheelEvent>

// The annotate tab's keys, wheel and pinch, seen through the application's event filter.

namespace pintora {

namespace {
constexpr double nudgeStep = 1;
constexpr double shiftNudgeStep = 10;

// One notch of a mouse wheel (120 units) counts as 20 points: a Ctrl-notch zooms by 20 %.
constexpr double pointsPerNotch = 20;

// Whether the focused `widget` acts on `key` itself: Return and Space press a button, the
// arrows move a slider or the current row of a list.
bool usesKey(const QWidget* widget, int key) {
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (qobject_cast<const QAbstractButton*>(widget)) return enter;
    if (qobject_cast<const QAbstractSlider*>(widget) ||
        qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QComboBox*>(widget) ||
        qobject_cast<const QAbstractItemView*>(widget) || qobject_cast<const QTabBar*>(widget))
        return enter || arrow;
    return false;
}

} // namespace

bool ContentView::ownsEventsOf(QWidget* receiver) const {
    return receiver && receiver->window() == window() && activeTab_ == AppTab::annotate;
}

bool ContentView::handleKey(QWidget* receiver, QKeyEvent* event) {
    if (!ownsEventsOf(receiver)) return false;
    if (FocusedText::current()) return false;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const double step = mods & Qt::ShiftModifier ? shiftNudgeStep : nudgeStep;
    const int key = event->key();
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const auto tool =
            key >= Qt::Key_A && key <= Qt::Key_Z ? toolForShortcut(QChar(key)) : std::nullopt;
        if (tool) {
            setTool(*tool);
            return true;
        }
    }
    // A focused control keeps the keys it acts on.
    if (usesKey(receiver, key)) return false;
    const bool onCanvas = receiver == canvasPane_;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (onCanvas && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            // Past the last item (or before the first) the keyboard leaves the canvas.
            return canvasPane_->stepSelection(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        }
        if (enter && tool_ != Tool::select) {
            canvasPane_->placeAtCentre();
            return true;
        }
        if (key == Qt::Key_Escape && !selection_.isEmpty()) {
            setSelection({});
            return true;
        }
    }
    if (selection_.isEmpty()) return false;
    QPointF by;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The keyboard's double-click: the one selected text or note is edited, a picture
        // cropped.
        return selection_.size() == 1 && tool_ == Tool::select && !mods &&
               (canvasPane_->editText(*selection_.begin()) ||
                canvasPane_->cropPicture(*selection_.begin()));
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        deleteSelection(*document_, undoStack(), selection_);
        emit selectionChanged();
        return true;
    case Qt::Key_Left:
        by = {-step, 0};
        break;
    case Qt::Key_Right:
        by = {step, 0};
        break;
    case Qt::Key_Down:
        by = {0, step};
        break;
    case Qt::Key_Up:
        by = {0, -step};
        break;
    default:
        return false;
    }
    nudgeSelection(*document_, undoStack(), selection_, by.x(), by.y());
    return true;
}

bool ContentView::handleScroll(QWidget* receiver, QWheelEvent* event) {
    if (!ownsEventsOf(receiver)) return false;
    // Touchpads report points; wheels report notches.
    const QPointF delta = event->pixelDelta().isNull()
                              ? QPointF(event->angleDelta()) / 120 * pointsPerNotch
                              : QPointF(event->pixelDelta());
    canvasController_->applyScroll(delta.x(), delta.y(), event->modifiers() & Qt::ControlModifier);
    return true;
}

bool ContentView::handleMagnify(QWidget* receiver, QNativeGestureEvent* event) {
    if (!ownsEventsOf(receiver) || event->gestureType() != Qt::ZoomNativeGesture) return false;
    canvasController_->applyMagnify(event->value());
    return true;
}

__attribute__((no_sanitize("vptr"))) bool ContentView::eventFilter(QObject* watched,
                                                                   QEvent* event) {
    if (!watched->isWidgetType()) return QWidget::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::KeyPress:
        return handleKey(widget, static_cast<QKeyEvent*>(event));
    case QEvent::Wheel:
        return handleScroll(widget, static_cast<QWheelEvent*>(event));
    case QEvent::NativeGesture:
        return handleMagnify(widget, static_cast<QNativeGestureEvent*>(event));
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace pintora
