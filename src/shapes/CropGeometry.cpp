#include "shapes/CropGeometry.h"

#include "model/Geometry.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

namespace pintora {

std::optional<QSize> pictureSize(const QByteArray& pngData) {
    QBuffer buffer;
    buffer.setData(pngData);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        return std::nullopt;
    }
    return size;
}

namespace {

QRectF clampedCrop(const QRectF& crop) {
    const double x = std::clamp(crop.x(), 0.0, 1.0);
    const double y = std::clamp(crop.y(), 0.0, 1.0);
    double w = std::clamp(crop.width(), 0.01, 1.0);
    double h = std::clamp(crop.height(), 0.01, 1.0);
    if (x + w > 1) w = 1 - x;
    if (y + h > 1) h = 1 - y;
    return {x, y, w, h};
}

} // namespace

ImageItem applyCropKeepingAnchor(const ImageItem& item, const QRectF& newCrop) {
    std::optional<QSizeF> size;
    if (const std::optional<QSize> pixels = pictureSize(item.pngData)) {
        size = QSizeF(*pixels);
    }
    return applyCropKeepingAnchor(item, newCrop, size);
}

ImageItem applyCropKeepingAnchor(const ImageItem& item, const QRectF& newCrop,
                                 std::optional<QSizeF> pictureSize) {
    ImageItem result = item;
    const QRectF n = clampedCrop(newCrop);
    result.cropRect = n;
    if (!pictureSize) {
        return result;
    }
    const double w = pictureSize->width();
    const double h = pictureSize->height();
    const QRectF f = standardized(item.frame);
    const QRectF c = item.cropRect;
    // Canvas points per picture point, then where the whole picture's corner lies.
    const double sx = f.width() / std::max(w * c.width(), 0.001);
    const double sy = f.height() / std::max(h * c.height(), 0.001);
    const double ox = f.left() - w * c.x() * sx;
    const double oy = f.top() - h * c.y() * sy;
    result.frame =
        QRectF(ox + n.x() * w * sx, oy + n.y() * h * sy, sx * w * n.width(), sy * h * n.height());
    return result;
}

QRectF cropImageRect(QSizeF area, QSizeF picture) {
    const double gw = area.width();
    const double gh = area.height();
    const double aspect = picture.width() / std::max(picture.height(), 1.0);
    if (gw / std::max(gh, 1.0) < aspect) {
        const double height = gw / aspect;
        return {0, (gh - height) / 2, gw, height};
    }
    const double width = gh * aspect;
    return {(gw - width) / 2, 0, width, gh};
}

QRectF draggedCrop(CropTarget target, const QRectF& base, QPointF delta) {
    constexpr double minExtent = 0.02;
    double minX = base.left(), minY = base.top(), maxX = base.right(), maxY = base.bottom();
    if (target == CropTarget::body) {
        minX = std::max(std::min(base.left() + delta.x(), 1 - base.width()), 0.0);
        minY = std::max(std::min(base.top() + delta.y(), 1 - base.height()), 0.0);
        maxX = minX + base.width();
        maxY = minY + base.height();
    } else {
        const bool west =
            target == CropTarget::nw || target == CropTarget::sw || target == CropTarget::w;
        const bool east =
            target == CropTarget::ne || target == CropTarget::se || target == CropTarget::e;
        const bool north =
            target == CropTarget::nw || target == CropTarget::n || target == CropTarget::ne;
        const bool south =
            target == CropTarget::sw || target == CropTarget::s || target == CropTarget::se;
        if (west) minX += delta.x();
        if (east) maxX += delta.x();
        if (north) minY += delta.y();
        if (south) maxY += delta.y();
    }
    // Left and top settle first, so they stop short of the opposite edge while the right and
    // bottom edges push it ahead of them.
    minX = std::max(0.0, std::min(minX, maxX - minExtent));
    minY = std::max(0.0, std::min(minY, maxY - minExtent));
    maxX = std::min(1.0, std::max(maxX, minX + minExtent));
    maxY = std::min(1.0, std::max(maxY, minY + minExtent));
    return {minX, minY, maxX - minX, maxY - minY};
}

QRectF CropDrag::change(CropTarget target, const QRectF& crop, QSizeF translation,
                        const QRectF& imageRect) {
    if (!base_) {
        base_ = crop;
    }
    const QPointF delta(translation.width() / std::max(imageRect.width(), 1.0),
                        translation.height() / std::max(imageRect.height(), 1.0));
    return draggedCrop(target, *base_, delta);
}

} // namespace pintora
