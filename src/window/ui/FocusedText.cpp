#include "window/ui/FocusedText.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWebEngineView>

namespace pintora {

bool FocusedText::isTextInput(const QWidget* widget) {
    if (!widget) return false;
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
        qobject_cast<const QPlainTextEdit*>(widget) ||
        qobject_cast<const QAbstractSpinBox*>(widget))
        return true;
    if (auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->isEditable();
    // A web page's focus sits on an inner widget of the view.
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (qobject_cast<const QWebEngineView*>(w)) return true;
    return false;
}

QWidget* FocusedText::current() {
    QWidget* focus = QApplication::focusWidget();
    return isTextInput(focus) ? focus : nullptr;
}

bool FocusedText::perform(Edit edit) {
    QWidget* target = current();
    if (!target) return false;
    // Every text input knows its standard keys, so the edit travels as one.
    QKeyCombination keys(Qt::Key_Delete);
    switch (edit) {
    case Edit::cut:
        keys = QKeySequence(QKeySequence::Cut)[0];
        break;
    case Edit::copy:
        keys = QKeySequence(QKeySequence::Copy)[0];
        break;
    case Edit::paste:
        keys = QKeySequence(QKeySequence::Paste)[0];
        break;
    case Edit::remove:
        break;
    case Edit::selectAll:
        keys = QKeySequence(QKeySequence::SelectAll)[0];
        break;
    }
    QKeyEvent press(QEvent::KeyPress, keys.key(), keys.keyboardModifiers());
    QKeyEvent release(QEvent::KeyRelease, keys.key(), keys.keyboardModifiers());
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
    return true;
}

} // namespace pintora
