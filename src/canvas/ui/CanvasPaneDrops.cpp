#include "canvas/CanvasController.h"
#include "canvas/DecodedImageCache.h"
#include "canvas/ui/CanvasPane.h"
#include "model/PintoraDocument.h"
#include "window/CapturePlacement.h"

#include <QMimeData>
#include <QMouseEvent>

// Pictures dropped from other programs.

namespace pintora {

bool CanvasPane::placePictures(const QList<QImage>& images, std::optional<QPointF> viewPoint) {
    QList<CapturePicture> pictures;
    for (const QImage& image : images) {
        if (auto picture = capturePicture(image)) pictures.append(*picture);
    }
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    std::optional<QPointF> at;
    if (viewPoint) at = controller_.canvasPoint(*viewPoint);
    const bool placed = placeCaptures(document_, document_.undoStack(), selection_, pictures, at,
                                      controller_.viewportCenterInCanvas());
    publish(toolBefore, selectionBefore);
    if (placed) emit picturesPlaced();
    return placed;
}

QList<QImage> CanvasPane::picturesIn(const QMimeData* mime) {
    QList<QImage> pictures;
    if (!mime) return pictures;
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) pictures.append(image);
    }
    for (const char* type : {"image/png", "image/tiff"}) {
        if (!pictures.isEmpty()) break;
        const QByteArray bytes = mime->data(QString::fromLatin1(type));
        if (!bytes.isEmpty()) {
            const QImage image = decodePicture(bytes);
            if (!image.isNull()) pictures.append(image);
        }
    }
    if (pictures.isEmpty()) {
        for (const QUrl& url : mime->urls()) {
            if (!url.isLocalFile()) continue;
            const QImage image = decodePictureFile(url.toLocalFile());
            if (!image.isNull()) pictures.append(image);
        }
    }
    return pictures;
}

void CanvasPane::dragEnterEvent(QDragEnterEvent* event) {
    // The window's own canvas dragged out of its thumbnail is on its way elsewhere: the window
    // is see-through then, and dropping it back would paste the canvas into itself.
    if (auto* source = qobject_cast<QWidget*>(event->source());
        source && source->window() == window()) {
        return;
    }
    const QMimeData* mime = event->mimeData();
    if (mime->hasImage() || mime->hasUrls() || mime->hasFormat(QStringLiteral("image/png")) ||
        mime->hasFormat(QStringLiteral("image/tiff"))) {
        event->acceptProposedAction();
    }
}

void CanvasPane::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void CanvasPane::dropEvent(QDropEvent* event) {
    // Always taken, even when nothing in it is a picture.
    event->acceptProposedAction();
    placePictures(picturesIn(event->mimeData()), event->position());
}

} // namespace pintora
