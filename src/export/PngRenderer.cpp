#include "export/PngRenderer.h"

#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "export/PngEncoder.h"
#include "model/Geometry.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace pintora {

namespace {
constexpr double maxExportRatio = 4;
// Beyond this many pixels an export gives up density rather than memory.
constexpr double maxExportPixels = 400e6;
} // namespace

double exportPixelRatio(const CanvasState& state) {
    double ratio = 1;
    for (const CanvasItem& item : state.items) {
        const ImageItem* image = item.image();
        if (!image) continue;
        // Only pictures that decode count: one whose header claims a huge size draws nothing.
        const QImage picture = DecodedImageCache::shared().image(item.id(), image->pngData);
        const QRectF frame = standardized(image->frame);
        if (picture.isNull() || frame.width() <= 0) continue;
        ratio = std::max(ratio, picture.width() * image->cropRect.width() / frame.width());
    }
    // Snap a density that is a whole number but for rounding (a 2× capture at 1919.9 points).
    if (std::abs(ratio - std::round(ratio)) < 0.01) ratio = std::round(ratio);
    return std::min(ratio, maxExportRatio);
}

QImage renderImage(const CanvasState& state) {
    const std::optional<QRectF> content = contentBoundingBox(state.items);
    if (!content) {
        return {};
    }
    const QRectF box = content->adjusted(-exportMargin, -exportMargin, exportMargin, exportMargin);
    double ratio = exportPixelRatio(state);
    const double points = box.width() * box.height();
    if (points * ratio * ratio > maxExportPixels) {
        ratio = std::max(1.0, std::sqrt(maxExportPixels / points));
    }
    const QSize pixels(std::max(1, int(std::ceil(box.width() * ratio))),
                       std::max(1, int(std::ceil(box.height() * ratio))));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.scale(ratio, ratio);
        painter.translate(-box.topLeft());
        DecodedImageCache& pictures = DecodedImageCache::shared();
        for (const CanvasItem& item : state.items) {
            const QImage picture =
                item.image() ? pictures.image(item.id(), item.image()->pngData) : QImage();
            paintItem(painter, item, picture, PaintTarget::exportImage);
        }
    }
    image.setDevicePixelRatio(ratio);
    // 96 dots per inch is one pixel per point on this platform.
    const int dotsPerMeter = int(std::lround(3779.5275590551 * ratio));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

QImage renderThumbnail(const CanvasState& state, QSize pixels) {
    const std::optional<QRectF> content = contentBoundingBox(state.items);
    if (!content || pixels.isEmpty()) return {};
    const QRectF box = content->adjusted(-exportMargin, -exportMargin, exportMargin, exportMargin);
    const double scale = std::min(pixels.width() / box.width(), pixels.height() / box.height());
    QImage image(std::max(1, int(std::ceil(box.width() * scale))),
                 std::max(1, int(std::ceil(box.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.translate(-box.topLeft());
    ScaledPictureCache& copies = ScaledPictureCache::shared();
    for (const CanvasItem& item : state.items) {
        if (const ImageItem* picture = item.image())
            copies.paintSmall(painter, *picture, DecodedImageCache::shared());
        else
            paintItem(painter, item, QImage(), PaintTarget::exportImage);
    }
    return image;
}

std::optional<QByteArray> renderPNG(const CanvasState& state) {
    const QImage image = renderImage(state);
    if (image.isNull()) {
        return std::nullopt;
    }
    return encodePNG(image);
}

} // namespace pintora
