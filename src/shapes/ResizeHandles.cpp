#include "shapes/ResizeHandles.h"

#include "canvas/CanvasController.h"
#include "model/Geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pintora {

std::array<QPointF, 8>
resizeHandlePositions(const QRectF& frame, const CanvasController& controller, QSizeF liveOffset) {
    const QRectF f = standardized(frame);
    const QPointF offset(liveOffset.width(), liveOffset.height());
    const QPointF tl = controller.viewPoint(f.topLeft()) + offset;
    const QPointF br = controller.viewPoint(f.bottomRight()) + offset;
    const double midX = (tl.x() + br.x()) / 2;
    const double midY = (tl.y() + br.y()) / 2;
    return {QPointF(tl.x(), tl.y()), QPointF(midX, tl.y()),   QPointF(br.x(), tl.y()),
            QPointF(br.x(), midY),   QPointF(br.x(), br.y()), QPointF(midX, br.y()),
            QPointF(tl.x(), br.y()), QPointF(tl.x(), midY)};
}

namespace {

bool isCorner(ResizeHandle h) {
    return h == ResizeHandle::nw || h == ResizeHandle::ne || h == ResizeHandle::se ||
           h == ResizeHandle::sw;
}

QRectF freeRect(ResizeHandle h, const QRectF& b, QPointF d) {
    double minX = b.left(), minY = b.top(), maxX = b.right(), maxY = b.bottom();
    const bool west = h == ResizeHandle::nw || h == ResizeHandle::sw || h == ResizeHandle::w;
    const bool east = h == ResizeHandle::ne || h == ResizeHandle::se || h == ResizeHandle::e;
    const bool north = h == ResizeHandle::nw || h == ResizeHandle::n || h == ResizeHandle::ne;
    const bool south = h == ResizeHandle::sw || h == ResizeHandle::s || h == ResizeHandle::se;
    if (west) minX += d.x();
    if (east) maxX += d.x();
    if (north) minY += d.y();
    if (south) maxY += d.y();
    return {minX, minY, maxX - minX, maxY - minY};
}

} // namespace

QRectF resizedFrame(ResizeHandle handle, const QRectF& base, QPointF delta, bool lockAspect) {
    const QRectF n = freeRect(handle, base, delta);
    if (!lockAspect || base.width() <= 0 || base.height() <= 0) {
        return n;
    }
    const double aspect = base.width() / base.height();
    const double nw = std::abs(n.width());
    const double nh = std::abs(n.height());
    if (isCorner(handle)) {
        // The corner opposite the handle stays put.
        const double s = std::max(nw / base.width(), nh / base.height());
        const double w = base.width() * s;
        const double h = base.height() * s;
        switch (handle) {
        case ResizeHandle::se:
            return {base.left(), base.top(), w, h};
        case ResizeHandle::sw:
            return {base.right() - w, base.top(), w, h};
        case ResizeHandle::nw:
            return {base.right() - w, base.bottom() - h, w, h};
        default:
            return {base.left(), base.bottom() - h, w, h}; // ne
        }
    }
    if (handle == ResizeHandle::n || handle == ResizeHandle::s) {
        const double w = aspect * nh;
        return {base.center().x() - w / 2, std::min(n.top(), n.bottom()), w, nh};
    }
    const double h = nw / aspect;
    return {std::min(n.left(), n.right()), base.center().y() - h / 2, nw, h};
}

std::array<QPointF, 2> endpointHandlePositions(const QRectF& frame,
                                               const CanvasController& controller,
                                               QSizeF liveOffset) {
    const QPointF offset(liveOffset.width(), liveOffset.height());
    const QPointF start = frame.topLeft();
    const QPointF end = start + QPointF(frame.width(), frame.height());
    return {controller.viewPoint(start) + offset, controller.viewPoint(end) + offset};
}

QRectF movedEndpoint(Endpoint endpoint, const QRectF& base, QPointF delta) {
    if (endpoint == Endpoint::end) {
        return {base.x(), base.y(), base.width() + delta.x(), base.height() + delta.y()};
    }
    return {base.x() + delta.x(), base.y() + delta.y(), base.width() - delta.x(),
            base.height() - delta.y()};
}

QRectF HandleDrag::resize(ResizeHandle handle, const QRectF& frame, QSizeF translation, double zoom,
                          bool lockAspect) {
    if (!base_) {
        base_ = standardized(frame);
    }
    const QPointF delta(translation.width() / zoom, translation.height() / zoom);
    return resizedFrame(handle, *base_, delta, lockAspect);
}

QRectF HandleDrag::moveEndpoint(Endpoint endpoint, const QRectF& frame, QSizeF translation,
                                double zoom) {
    if (!base_) {
        base_ = frame; // as stored: origin is the start, origin + size the end
    }
    const QPointF delta(translation.width() / zoom, translation.height() / zoom);
    return movedEndpoint(endpoint, *base_, delta);
}

std::optional<QRectF> HandleDrag::finish() {
    return std::exchange(base_, std::nullopt);
}

} // namespace pintora
