#pragma once

#include "window/CanvasViewport.h"

#include <QWidget>

namespace pintora {

// Holds the annotate tab's place, and the view's zoom and pan, until the canvas pane lands.
class AnnotatePlaceholder : public QWidget, public CanvasViewport {
    Q_OBJECT
public:
    explicit AnnotatePlaceholder(QWidget* parent = nullptr);

    double zoom() const override { return zoom_; }
    void setZoom(double zoom) override { zoom_ = zoom; }
    QPointF pan() const override { return pan_; }
    void setPan(QPointF pan) override { pan_ = pan; }
    QSizeF viewportSize() const override { return viewportSize_; }
    void fitToContent() override { emit fitRequested(); }

signals:
    void fitRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    double zoom_ = 1;
    QPointF pan_;
    QSizeF viewportSize_;
};

} // namespace pintora
