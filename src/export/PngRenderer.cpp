#include "export/PngRenderer.h"

#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "shapes/CropGeometry.h"
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

std::optional<QRectF> exportBox(const CanvasState& state) {
    // The frames and the margin around them; what is drawn beyond that (a big callout head,
    // an arrow head, a stroke wider than the margin) grows the box only as far as it reaches.
    std::optional<QRectF> box, inked;
    for (const CanvasItem& item : state.items) {
        const QRectF frame = standardized(item.frame());
        const QRectF extent = exportedExtent(item);
        box = box ? joined(*box, frame) : frame;
        inked = inked ? joined(*inked, extent) : extent;
    }
    if (!box) return box;
    return joined(box->adjusted(-exportMargin, -exportMargin, exportMargin, exportMargin), *inked);
}

double exportPixelRatio(const CanvasState& state) {
    double ratio = 1;
    for (const CanvasItem& item : state.items) {
        const ImageItem* image = item.image();
        if (!image) continue;
        // Read from the header, not decoded. A picture whose header claims more than a picture
        // may take never decodes, and draws nothing: it does not count.
        const std::optional<QSize> size = pictureSize(image->pngData);
        const QRectF frame = standardized(image->frame);
        if (!size || frame.width() <= 0 ||
            double(size->width()) * size->height() * 4 > imageAllocationLimitMB * 1048576.0)
            continue;
        ratio = std::max(ratio, size->width() * image->cropRect.width() / frame.width());
    }
    // Snap a density that is a whole number but for rounding (a 2× capture at 1919.9 points).
    if (std::abs(ratio - std::round(ratio)) < 0.01) ratio = std::round(ratio);
    return std::min(ratio, maxExportRatio);
}

namespace {
// What an export covers and at what density.
struct ExportFrame {
    QRectF box;
    double ratio = 1;
    QSize pixels;
    // 96 dots per inch is one pixel per point on this platform.
    int dotsPerMeter() const { return int(std::lround(3779.5275590551 * ratio)); }
};

std::optional<ExportFrame> exportFrame(const CanvasState& state) {
    const std::optional<QRectF> box = exportBox(state);
    if (!box) return std::nullopt;
    ExportFrame frame;
    frame.box = *box;
    frame.ratio = exportPixelRatio(state);
    const double points = frame.box.width() * frame.box.height();
    if (points * frame.ratio * frame.ratio > maxExportPixels) {
        frame.ratio = std::max(1.0, std::sqrt(maxExportPixels / points));
    }
    frame.pixels = QSize(std::max(1, int(std::ceil(frame.box.width() * frame.ratio))),
                         std::max(1, int(std::ceil(frame.box.height() * frame.ratio))));
    return frame;
}

// Paints the export's rows from `top` down into `image` (as tall as the rows wanted):
// pictures outside those rows are not even decoded.
void paintRows(const CanvasState& state, const ExportFrame& frame, int top, QImage& image) {
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(0, -top);
    painter.scale(frame.ratio, frame.ratio);
    painter.translate(-frame.box.topLeft());
    const QRectF rows(frame.box.left(), frame.box.top() + top / frame.ratio, frame.box.width(),
                      image.height() / frame.ratio);
    DecodedImageCache& pictures = DecodedImageCache::shared();
    for (const CanvasItem& item : state.items) {
        QImage picture;
        if (const ImageItem* image = item.image()) {
            if (!standardized(image->frame).intersects(rows)) continue;
            picture = pictures.image(item.id(), image->pngData);
        }
        paintItem(painter, item, picture, PaintTarget::exportImage);
    }
}
} // namespace

QImage renderImage(const CanvasState& state) {
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return {};
    QImage image(frame->pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    paintRows(state, *frame, 0, image);
    image.setDevicePixelRatio(frame->ratio);
    image.setDotsPerMeterX(frame->dotsPerMeter());
    image.setDotsPerMeterY(frame->dotsPerMeter());
    return image;
}

QImage renderThumbnail(const CanvasState& state, QSize pixels) {
    const std::optional<QRectF> framed = exportBox(state);
    if (!framed || pixels.isEmpty()) return {};
    const QRectF box = *framed;
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
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return std::nullopt;
    // The rows go to the encoder in bands of about 32 MB, so an export of hundreds of
    // megapixels never exists whole.
    const int width = frame->pixels.width(), height = frame->pixels.height();
    const int bandRows = std::clamp(int(exportBandBytes / (4 * qint64(width))), 16, height);
    PngStreamEncoder encoder(width, height, frame->dotsPerMeter());
    QImage band(width, bandRows, QImage::Format_ARGB32_Premultiplied);
    if (band.isNull()) return std::nullopt;
    for (int top = 0; top < height; top += bandRows) {
        if (height - top < bandRows)
            band = QImage(width, height - top, QImage::Format_ARGB32_Premultiplied);
        paintRows(state, *frame, top, band);
        if (!encoder.addRows(band)) return std::nullopt;
    }
    return encoder.finish();
}

} // namespace pintora
