#include "window/CapturePlacement.h"

#include "capture/ScreenshotPng.h"

#include "export/PngEncoder.h"
#include "model/PintoraDocument.h"

#include <algorithm>
#include <utility>

namespace pintora {

QList<QRectF> layoutCaptureRow(const QList<QSizeF>& sizes, std::optional<QPointF> at,
                               std::optional<QRectF> content, QPointF viewportCenter) {
    if (sizes.isEmpty()) return {};
    double rowHeight = 0, rowWidth = captureRowGap * double(sizes.size() - 1);
    for (const QSizeF& size : sizes) {
        rowHeight = std::max(rowHeight, size.height());
        rowWidth += size.width();
    }
    QPointF origin;
    if (at)
        origin = QPointF(at->x() - rowWidth / 2, at->y() - rowHeight / 2);
    else if (content)
        origin = QPointF(content->left(), content->bottom() + captureRowGap);
    else
        origin = QPointF(viewportCenter.x() - rowWidth / 2, viewportCenter.y() - rowHeight / 2);

    QList<QRectF> frames;
    double x = origin.x();
    for (const QSizeF& size : sizes) {
        frames.append(QRectF(QPointF(x, origin.y() + (rowHeight - size.height()) / 2), size));
        x += captureRowGap + size.width();
    }
    return frames;
}

std::optional<CapturePicture> capturePicture(const QImage& image) {
    if (QByteArray png = takeScreenshotPng(image); !png.isEmpty())
        return CapturePicture{std::move(png), image.deviceIndependentSize()};
    std::optional<QByteArray> png = encodePNG(image);
    if (!png) return std::nullopt;
    return CapturePicture{std::move(*png), image.deviceIndependentSize()};
}

bool placeCaptures(PintoraDocument& document, QUndoStack* stack, Selection& selection,
                   const QList<CapturePicture>& pictures, std::optional<QPointF> at,
                   QPointF viewportCenter) {
    if (pictures.isEmpty()) return false;
    QList<QSizeF> sizes;
    for (const CapturePicture& picture : pictures)
        sizes.append(picture.size);
    const QList<QRectF> frames =
        layoutCaptureRow(sizes, at, contentBoundingBox(document.state().items), viewportCenter);

    QList<CanvasItem> items;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        ImageItem image;
        image.frame = frames[i];
        image.pngData = pictures[i].pngData;
        items.append(image);
    }
    document.apply(stack, actionName::capture,
                   [&](CanvasState& state) { state.items.append(items); });
    selection.clear();
    for (const CanvasItem& item : items)
        selection.insert(item.id());
    return true;
}

} // namespace pintora
