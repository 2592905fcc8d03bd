#pragma once

#include "model/CanvasItem.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <optional>

namespace pintora {

inline const QRectF fullCrop{0, 0, 1, 1};

inline bool isCropped(const ImageItem& image) {
    return image.cropRect != fullCrop;
}

// The size of the picture in the bytes, read from its header; none when it is not a picture.
std::optional<QSize> pictureSize(const QByteArray& pngData);

// The item showing `newCrop` of its picture, with the frame moved and resized so that the
// picture keeps its scale and every pixel its place on the canvas. A picture that does not
// read keeps its frame.
ImageItem applyCropKeepingAnchor(const ImageItem& item, const QRectF& newCrop);
ImageItem applyCropKeepingAnchor(const ImageItem& item, const QRectF& newCrop,
                                 std::optional<QSizeF> pictureSize);

// Where the crop editor draws the whole picture inside an area: as large as fits, centred.
QRectF cropImageRect(QSizeF area, QSizeF picture);

// What the crop editor's drags move: eight handles and the crop's inside.
enum class CropTarget { nw, n, ne, e, se, s, sw, w, body };

// The crop after dragging `target` by `delta`, in fractions of the picture, from the crop at
// the drag's start. The crop stays inside the picture, never flips and never gets narrower or
// shorter than 0.02.
QRectF draggedCrop(CropTarget target, const QRectF& base, QPointF delta);

// One drag in the crop editor; like a handle drag it restarts from the crop it began with.
class CropDrag {
public:
    QRectF change(CropTarget target, const QRectF& crop, QSizeF translation,
                  const QRectF& imageRect);
    void finish() { base_.reset(); }

private:
    std::optional<QRectF> base_;
};

} // namespace pintora
