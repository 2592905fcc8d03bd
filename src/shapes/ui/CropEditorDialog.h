#pragma once

#include "model/CanvasItem.h"
#include "shapes/CropGeometry.h"

#include <QDialog>
#include <QImage>
#include <optional>

namespace pintora {

// The picture with the crop as a movable, resizable frame: shade outside it, eight handles
// and a draggable inside. From the keyboard the arrows move the frame by a pixel of the
// picture, with Ctrl they move its bottom right corner, with Shift by ten pixels.
class CropArea : public QWidget {
    Q_OBJECT
public:
    explicit CropArea(const QImage& picture, QRectF crop, QWidget* parent = nullptr);

    QRectF crop() const { return crop_; }
    void setCrop(const QRectF& crop);
    // Where the whole picture is drawn, in the area's coordinates.
    QRectF imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF cropInView() const;
    std::optional<CropTarget> targetAt(QPointF point) const;

    QImage picture_;
    QRectF crop_;
    CropDrag drag_;
    std::optional<CropTarget> target_;
    QPointF pressPoint_;
    bool dragging_ = false;
};

// "Crop Image": a window-modal sheet over the document window. "Done" (Return) accepts with
// the working crop, "Cancel" (Escape) rejects, "Reset" shows the whole picture again.
class CropEditorDialog : public QDialog {
    Q_OBJECT
public:
    CropEditorDialog(const ImageItem& item, QWidget* parent);

    QRectF crop() const;
    CropArea* area() const { return area_; }

private:
    CropArea* area_;
};

} // namespace pintora
