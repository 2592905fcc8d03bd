#include "canvas/ui/TextEditorOverlay.h"

#include "canvas/ItemPainter.h"
#include "canvas/TextMetrics.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTimer>
#include <cmath>

namespace pintora {

TextEditorOverlay::TextEditorOverlay(const TextItem& item, QWidget* parent)
    : QPlainTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setBackgroundVisible(false);
    setTabChangesFocus(false);
    setPlainText(item.string);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { emit textEdited(toPlainText()); });
}

void TextEditorOverlay::place(const QRectF& viewRect, double zoom, const TextItem& item) {
    if (zoom != zoom_ || item.fontSize != fontSize_) {
        zoom_ = zoom;
        fontSize_ = item.fontSize;
        QFont font = itemFont(item.fontSize * zoom);
        setFont(font);
        document()->setDocumentMargin(textInset * zoom);
    }
    const bool wraps = item.wraps || isCard(item.style);
    setLineWrapMode(wraps ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    setWordWrapMode(textWrapMode);
    QPalette p = palette();
    p.setColor(QPalette::Text, textColor(item));
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    if (toPlainText() != item.string && !hasFocus()) {
        setPlainText(item.string);
    }
    setGeometry(viewRect.toAlignedRect());
}

void TextEditorOverlay::startEditing() {
    // Once the overlay is in place: the keyboard, and the cursor after the last character.
    QTimer::singleShot(0, this, [this] {
        setFocus(Qt::OtherFocusReason);
        moveCursor(QTextCursor::End);
    });
}

void TextEditorOverlay::finish() {
    if (finished_) return;
    finished_ = true;
    emit editingEnded();
}

void TextEditorOverlay::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if ((enter && (event->modifiers() & Qt::ControlModifier)) || event->key() == Qt::Key_Escape) {
        finish();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextEditorOverlay::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    // A popup (a context menu of the editor itself) takes the keyboard only for a moment, and
    // another window or a dialog in front leaves the edit open for when the user comes back.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        finish();
}

} // namespace pintora
