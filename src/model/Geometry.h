#pragma once

#include "model/CanvasItem.h"

#include <QList>
#include <QRectF>
#include <optional>

namespace pintora {

// A rectangle with non-negative extents: a negative extent is flipped and the origin moved to
// the other edge.
inline QRectF standardized(const QRectF& rect) {
    return rect.normalized();
}

// The union of two rectangles, counting zero-size ones (QRectF::united skips them).
QRectF joined(const QRectF& a, const QRectF& b);

// The union of the items' standardised frames in document order, or none without items.
std::optional<QRectF> contentBoundingBox(const QList<CanvasItem>& items);

} // namespace pintora
