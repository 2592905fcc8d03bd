#include "model/ItemClipboard.h"

#include "canvas/DecodedImageCache.h"
#include "model/DocumentCodec.h"
#include "model/PintoraDocument.h"
#include "window/CapturePlacement.h"


namespace pintora {

void copySelection(const PintoraDocument& document, const Selection& selection,
                   ItemClipboard& clipboard) {
    const QList<CanvasItem> items = selectedItems(document.state(), selection);
    if (items.isEmpty()) return;
    const auto json = encodeItems(items);
    if (!json) return; // an item that cannot be coded: the clipboard keeps what it has
    clipboard.writeItems(json.value());
}

void cutSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection,
                  ItemClipboard& clipboard) {
    copySelection(document, selection, clipboard);
    deleteSelection(document, stack, selection);
}

namespace {
QList<CapturePicture> picturesOnClipboard(const ItemClipboard& clipboard) {
    QList<CapturePicture> pictures;
    for (const QImage& image : clipboard.readImages())
        if (const auto picture = capturePicture(image)) pictures.append(*picture);
    if (!pictures.isEmpty()) return pictures;
    for (const QUrl& url : clipboard.readFileURLs()) {
        if (!url.isLocalFile()) continue;
        // Files that are no pictures, or too large to be one, are skipped.
        const QImage image = decodePictureFile(url.toLocalFile());
        if (const auto picture = capturePicture(image)) pictures.append(*picture);
    }
    return pictures;
}
} // namespace

PasteResult pasteSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection,
                           const ItemClipboard& clipboard, QPointF viewportCenter) {
    const QByteArray data = clipboard.readItems();
    if (!data.isEmpty()) {
        // Data that does not decode counts as absent: the paste falls back to pictures.
        const auto items = decodeItems(data);
        if (items && !items.value().isEmpty()) {
            QList<CanvasItem> copies;
            for (const CanvasItem& item : items.value())
                copies.append(offsetCopy(item));
            document.apply(stack, actionName::paste,
                           [&](CanvasState& state) { state.items.append(copies); });
            selection.clear();
            for (const CanvasItem& copy : copies)
                selection.insert(copy.id());
            return PasteResult::items;
        }
    }
    const QList<CapturePicture> pictures = picturesOnClipboard(clipboard);
    if (!placeCaptures(document, stack, selection, pictures, std::nullopt, viewportCenter))
        return PasteResult::nothing;
    return PasteResult::pictures;
}

} // namespace pintora
