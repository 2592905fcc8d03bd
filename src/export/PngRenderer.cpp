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

namespace {
bool fitsDecodeLimit(QSize size) {
    return double(size.width()) * size.height() * 4 <= imageAllocationLimitMB * 1048576.0;
}

QString pictureName(const ImageItem& image, QSize size) {
    const QRectF frame = standardized(image.frame);
    return QObject::tr("the picture at %1, %2 on the canvas, %3 × %4 pixels,")
        .arg(qRound(frame.x()))
        .arg(qRound(frame.y()))
        .arg(size.width())
        .arg(size.height());
}
} // namespace

QString undrawablePicture(const CanvasState& state) {
    for (const CanvasItem& item : state.items) {
        const ImageItem* image = item.image();
        if (!image) continue;
        const std::optional<QSize> size = pictureSize(image->pngData);
        if (size && !fitsDecodeLimit(*size))
            return QObject::tr("%1 is too large to draw").arg(pictureName(*image, *size));
    }
    return {};
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
        if (!size || frame.width() <= 0 || !fitsDecodeLimit(*size)) continue;
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
// pictures outside those rows are not even decoded. Says which picture, if any, did not draw.
QString paintRows(const CanvasState& state, const ExportFrame& frame, int top, QImage& image) {
    QString problem;
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
            // A picture whose header reads, yet whose pixels do not decode (out of memory, cut
            // short), would leave a hole in the export.
            if (picture.isNull() && problem.isEmpty()) {
                if (const std::optional<QSize> size = pictureSize(image->pngData))
                    problem = QObject::tr("%1 could not be decoded").arg(pictureName(*image, *size));
            }
        }
        paintItem(painter, item, picture, PaintTarget::exportImage);
    }
    return problem;
}
} // namespace

QImage renderImage(const CanvasState& state, QString* problem) {
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return {};
    QString why = undrawablePicture(state);
    QImage image;
    if (why.isEmpty()) {
        image = QImage(frame->pixels, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) why = QObject::tr("the picture would be too large to make");
    }
    if (why.isEmpty()) why = paintRows(state, *frame, 0, image);
    if (!why.isEmpty()) {
        if (problem) *problem = why;
        return {};
    }
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

std::optional<QByteArray> renderPNG(const CanvasState& state, QString* problem) {
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return std::nullopt;
    const auto fail = [problem](const QString& why) -> std::optional<QByteArray> {
        if (problem) *problem = why;
        return std::nullopt;
    };
    if (QString why = undrawablePicture(state); !why.isEmpty()) return fail(why);
    // The rows go to the encoder in bands of about 32 MB, so an export of hundreds of
    // megapixels never exists whole.
    const int width = frame->pixels.width(), height = frame->pixels.height();
    const int bandRows = std::clamp(int(exportBandBytes / (4 * qint64(width))), 16, height);
    PngStreamEncoder encoder(width, height, frame->dotsPerMeter());
    QImage band(width, bandRows, QImage::Format_ARGB32_Premultiplied);
    if (band.isNull()) return fail(QObject::tr("there is not enough memory to draw it"));
    for (int top = 0; top < height; top += bandRows) {
        if (height - top < bandRows)
            band = QImage(width, height - top, QImage::Format_ARGB32_Premultiplied);
        if (QString why = paintRows(state, *frame, top, band); !why.isEmpty()) return fail(why);
        if (!encoder.addRows(band)) return fail(QObject::tr("the picture could not be encoded"));
    }
    return encoder.finish();
}

} // namespace pintora
