#include "canvas/ui/TextEditorOverlay.h"

#include "canvas/ItemPainter.h"
#include "canvas/TextMetrics.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTimer>
#include <cmath>

namespace pintora {

namespace {
// The text as typed: no-break spaces stay what they are (plain text would turn them into
// spaces), and the editor's own paragraph marks are line breaks.
QString typedText(const QTextDocument* document) {
    QString text = document->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}
} // namespace

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
    connect(this, &QPlainTextEdit::textChanged, this,
            [this] { emit textEdited(typedText(document())); });
}

void TextEditorOverlay::place(const QRectF& viewRect, double zoom, const TextItem& item) {
    if (zoom != zoom_ || item.fontSize != fontSize_) {
        zoom_ = zoom;
        fontSize_ = item.fontSize;
        // The canvas lays the text out in its font at the canvas's scale and then zooms it: the
        // editor takes that font zoomed, not rounded anew, so its lines break where the drawn
        // text's do at any zoom.
        QFont font = itemFont(item.fontSize);
        const double wanted = font.pixelSize() * zoom;
        font.setPointSizeF(wanted * 72.0 / logicalDpiY());
        setFont(font);
        // The font engine may round the size to whole pixels: the lines are then as much
        // narrower or wider, so that the same words fit on each.
        fontScale_ = QFontInfo(this->font()).pointSizeF() * logicalDpiY() / 72.0 / wanted;
    }
    // The widget takes whole pixels; the margin takes up the rest, so that each line holds
    // what the drawn text's does.
    const QRect placed = viewRect.toAlignedRect();
    const double lineWidth = (viewRect.width() - 2 * textInset * zoom) * fontScale_;
    document()->setDocumentMargin(std::max(0.0, (placed.width() - lineWidth) / 2));
    const bool wraps = item.wraps || isCard(item.style);
    setLineWrapMode(wraps ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    setWordWrapMode(textWrapMode);
    QPalette p = palette();
    p.setColor(QPalette::Text, textColor(item));
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    if (typedText(document()) != item.string && !hasFocus()) {
        setPlainText(item.string);
    }
    setGeometry(placed);
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
