#pragma once

#include "model/CanvasState.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>

namespace pintora {

// Zoom and pan of one window's canvas view, and the mapping between canvas and view points:
// view = canvas × zoom + pan. The controller never clamps; the rules below do.
class CanvasController : public QObject {
    Q_OBJECT
public:
    static constexpr double minZoom = 0.1;
    static constexpr double maxZoom = 8.0;
    static constexpr double maxFitZoom = 4.0;
    // Free space left around fitted content on each side, in view points.
    static constexpr double fitMargin = 60;

    explicit CanvasController(QObject* parent = nullptr) : QObject(parent) {}

    double zoom() const { return zoom_; }
    QPointF pan() const { return pan_; } // the view position of the canvas origin
    QSizeF viewportSize() const { return viewportSize_; }

    void setZoom(double zoom);
    void setPan(QPointF pan);
    // Changes nobody has to redraw for, so it announces nothing.
    void setViewportSize(QSizeF size) { viewportSize_ = size; }

    QPointF canvasPoint(QPointF view) const { return (view - pan_) / zoom_; }
    QPointF viewPoint(QPointF canvas) const { return canvas * zoom_ + pan_; }
    QRectF viewRect(const QRectF& canvas) const;
    QRectF canvasRect(const QRectF& view) const;
    QPointF viewportCenterInCanvas() const;

    // Ctrl held: zoom by 1% per point of dy about the canvas origin; otherwise pan by (dx, dy).
    void applyScroll(double dx, double dy, bool zoomModifier);
    // One pinch step of magnification m.
    void applyMagnify(double m);
    // The toolbar's zoom value.
    void setToolbarZoom(double value) { setZoom(clampZoom(value)); }
    // The zoom a key goes to from `zoom`: the next of 10%, 25%, 50%, 75%, 100%, 150%, 200%,
    // 300%, 400%, 600% and 800% in or out, or `zoom` itself at either end.
    static double zoomStep(double zoom, bool in);
    // Zooms to `zoom` (clamped) keeping what is at the centre of the view where it is.
    void zoomAboutCentre(double zoom);
    // Centres the content with 60 view points to spare; an empty canvas goes back to 1 at the
    // origin.
    void fitToContent(const CanvasState& state);

    // Takes a document's stored view. A zoom that is not a positive finite number would leave
    // the mapping without an inverse, so it is read as 1.
    void takeView(const CanvasState& state);
    void storeView(CanvasState& state) const;

    static double clampZoom(double zoom, double max = maxZoom);

signals:
    void zoomChanged(double zoom);
    void panChanged(QPointF pan);

private:
    double zoom_ = 1;
    QPointF pan_;
    QSizeF viewportSize_{0, 0}; // until the view is laid out
};

} // namespace pintora
