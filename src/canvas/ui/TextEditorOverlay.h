#pragma once

#include "model/CanvasItem.h"

#include <QPlainTextEdit>

namespace pintora {

// The in-place editor of a text item: plain text in the item's font and colour, laid over the
// item in view coordinates. Ctrl+Return and Escape end the edit and keep the text; plain
// Return starts a new line; losing the keyboard ends the edit too.
class TextEditorOverlay : public QPlainTextEdit {
    Q_OBJECT
public:
    TextEditorOverlay(const TextItem& item, QWidget* parent);

    // Puts the editor over `viewRect` (the text's area) at the canvas zoom.
    void place(const QRectF& viewRect, double zoom, const TextItem& item);
    // Takes the keyboard with the cursor at the end of the text.
    void startEditing();
    // Ends the edit once, whatever asks for it.
    void finish();

signals:
    void textEdited(const QString& text);
    void editingEnded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool finished_ = false;
    double zoom_ = 0;
    double fontSize_ = 0;
    double fontScale_ = 1; // the font's size as the engine gives it, over the size asked for
};

} // namespace pintora
