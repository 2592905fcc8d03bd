#include "model/Geometry.h"

#include <algorithm>

namespace pintora {

QRectF joined(const QRectF& a, const QRectF& b) {
    const double left = std::min(a.left(), b.left());
    const double top = std::min(a.top(), b.top());
    const double right = std::max(a.right(), b.right());
    const double bottom = std::max(a.bottom(), b.bottom());
    return {left, top, right - left, bottom - top};
}

std::optional<QRectF> contentBoundingBox(const QList<CanvasItem>& items) {
    std::optional<QRectF> box;
    for (const CanvasItem& item : items) {
        const QRectF frame = standardized(item.frame());
        box = box ? joined(*box, frame) : frame;
    }
    return box;
}

} // namespace pintora
