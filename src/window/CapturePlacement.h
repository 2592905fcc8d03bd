#pragma once

#include "model/Geometry.h"
#include "model/SelectionEdits.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace pintora {

class PintoraDocument;

// Gaps between the pictures of a row, and between existing content and a new row.
inline constexpr double captureRowGap = 40;

// Frames for a row of pictures of the given sizes, left to right, 40 points apart, each
// centred vertically: centred on `at` when given, else 40 points below the existing content
// and aligned with its left edge, else centred on the visible centre of the canvas.
QList<QRectF> layoutCaptureRow(const QList<QSizeF>& sizes, std::optional<QPointF> at,
                               std::optional<QRectF> content, QPointF viewportCenter);

// A picture ready to place: its PNG bytes and its size in points.
struct CapturePicture {
    QByteArray pngData;
    QSizeF size;
};

// PNG bytes of an image with its size in points (pixels over the device pixel ratio); none
// when the image cannot be encoded.
std::optional<CapturePicture> capturePicture(const QImage& image);

// Adds the pictures as one row of image items in one "Capture" step and selects exactly them.
// Returns false, registering nothing, when there is nothing to place.
bool placeCaptures(PintoraDocument& document, QUndoStack* stack, Selection& selection,
                   const QList<CapturePicture>& pictures, std::optional<QPointF> at,
                   QPointF viewportCenter);

} // namespace pintora
