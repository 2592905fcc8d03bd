#include "canvas/CanvasController.h"

#include "model/Geometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace pintora {

void CanvasController::setZoom(double zoom) {
    if (zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    emit zoomChanged(zoom_);
}

void CanvasController::setPan(QPointF pan) {
    if (pan == pan_) {
        return;
    }
    pan_ = pan;
    emit panChanged(pan_);
}

QRectF CanvasController::viewRect(const QRectF& canvas) const {
    return {viewPoint(canvas.topLeft()), canvas.size() * zoom_};
}

QRectF CanvasController::canvasRect(const QRectF& view) const {
    return {canvasPoint(view.topLeft()), view.size() / zoom_};
}

QPointF CanvasController::viewportCenterInCanvas() const {
    return canvasPoint(QPointF(viewportSize_.width() * 0.5, viewportSize_.height() * 0.5));
}

double CanvasController::clampZoom(double zoom, double max) {
    return std::max(std::min(zoom, max), minZoom);
}

void CanvasController::applyScroll(double dx, double dy, bool zoomModifier) {
    if (zoomModifier) {
        setZoom(clampZoom(zoom_ * (1 + dy * 0.01)));
        return;
    }
    setPan(pan_ + QPointF(dx, dy));
}

void CanvasController::applyMagnify(double m) {
    setZoom(clampZoom(zoom_ * (1 + m)));
}

double CanvasController::zoomStep(double zoom, bool in) {
    static constexpr double steps[] = {0.1, 0.25, 0.5, 0.75, 1, 1.5, 2, 3, 4, 6, 8};
    // A zoom a hair off a step (from a pinch, or rounding) counts as on it.
    if (in) {
        for (const double step : steps)
            if (step > zoom * 1.001) return step;
    } else {
        for (auto it = std::rbegin(steps); it != std::rend(steps); ++it)
            if (*it < zoom / 1.001) return *it;
    }
    return clampZoom(zoom);
}

void CanvasController::zoomAboutCentre(double zoom) {
    const QPointF centre(viewportSize_.width() * 0.5, viewportSize_.height() * 0.5);
    const QPointF canvas = canvasPoint(centre);
    setZoom(clampZoom(zoom));
    setPan(centre - canvas * zoom_);
}

void CanvasController::fitToContent(const CanvasState& state) {
    const std::optional<QRectF> box = contentBoundingBox(state.items);
    if (!box) {
        setZoom(1);
        setPan({});
        return;
    }
    const double vw = viewportSize_.width();
    const double vh = viewportSize_.height();
    if (vw <= 0 || vh <= 0) {
        return;
    }
    // A zero extent divides to infinity and leaves the other axis to decide.
    const double zx = (vw - 2 * fitMargin) / box->width();
    const double zy = (vh - 2 * fitMargin) / box->height();
    const double z = clampZoom(std::min(zx, zy), maxFitZoom);
    setZoom(z);
    setPan(QPointF((vw - box->width() * z) * 0.5 - box->left() * z,
                   (vh - box->height() * z) * 0.5 - box->top() * z));
}

void CanvasController::takeView(const CanvasState& state) {
    const bool usable = std::isfinite(state.zoom) && state.zoom > 0;
    setZoom(usable ? state.zoom : 1);
    const double x = std::isfinite(state.panX) ? state.panX : 0;
    const double y = std::isfinite(state.panY) ? state.panY : 0;
    setPan(QPointF(x, y));
}

void CanvasController::storeView(CanvasState& state) const {
    state.zoom = zoom_;
    state.panX = pan_.x();
    state.panY = pan_.y();
}

} // namespace pintora
