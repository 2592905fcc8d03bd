#pragma once

#include <QPointF>
#include <QSizeF>

namespace pintora {

// What the window root needs of the annotate canvas: its zoom and pan, the size it is laid out
// at, and fitting the content into it.
class CanvasViewport {
public:
    virtual ~CanvasViewport() = default;

    virtual double zoom() const = 0;
    virtual void setZoom(double zoom) = 0;
    // The view position of the canvas origin.
    virtual QPointF pan() const = 0;
    virtual void setPan(QPointF pan) = 0;
    // (0, 0) until the canvas view has been laid out.
    virtual QSizeF viewportSize() const = 0;
    virtual void fitToContent() = 0;

    // The canvas point under the centre of the view.
    QPointF viewportCenterInCanvas() const {
        const QSizeF size = viewportSize();
        const QPointF origin = pan();
        return {(size.width() * 0.5 - origin.x()) / zoom(),
                (size.height() * 0.5 - origin.y()) / zoom()};
    }
};

} // namespace pintora
