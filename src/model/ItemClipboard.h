#pragma once

#include "model/SelectionEdits.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QUrl>

namespace pintora {

class PintoraDocument;

// The system clipboard as the item commands see it.
class ItemClipboard {
public:
    // The private type of copied items, and the identifier other platforms know it by.
    static inline const QString itemsMimeType = QStringLiteral("application/x-pintora-items");
    static inline const QString itemsTypeAlias = QStringLiteral("com.orlanvale.pintora.items");

    virtual ~ItemClipboard() = default;
    // Replaces the clipboard's contents with the coded items, and nothing else.
    virtual void writeItems(const QByteArray& json) = 0;
    // The data under the private type; null when there is none.
    virtual QByteArray readItems() const = 0;
    // Pictures on the clipboard, in its order.
    virtual QList<QImage> readImages() const = 0;
    virtual QList<QUrl> readFileURLs() const = 0;
};

// Puts the selected items on the clipboard; with nothing selected the clipboard keeps what it has.
void copySelection(const PintoraDocument& document, const Selection& selection,
                   ItemClipboard& clipboard);
// Copy, then delete (the undo step is the delete's).
void cutSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection,
                  ItemClipboard& clipboard);

enum class PasteResult { nothing, items, pictures };

// Pastes copied items 20 points right and down ("Paste"), or else pictures, or pictures loaded
// from the files named on the clipboard, placed as a capture row ("Capture"). The pasted
// items become the selection.
PasteResult pasteSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection,
                           const ItemClipboard& clipboard, QPointF viewportCenter);

} // namespace pintora
