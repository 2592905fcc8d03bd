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
#include <functional>
#include <future>
#include <thread>

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
        if (size && !fitsPictureLimit(*size))
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
        if (!size || frame.width() <= 0 || !fitsPictureLimit(*size)) continue;
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

using PictureOf = std::function<QImage(const CanvasItem&, const ImageItem&)>;

// The canvas rows that `top` and the image's height cover, in points.
QRectF pointRows(const ExportFrame& frame, int top, int height) {
    return QRectF(frame.box.left(), frame.box.top() + top / frame.ratio, frame.box.width(),
                  height / frame.ratio);
}

// Paints the export's rows from `top` down into `image` (as tall as the rows wanted):
// pictures outside those rows are not even decoded. Says which picture, if any, did not draw.
QString paintRows(const CanvasState& state, const ExportFrame& frame, int top, QImage& image,
                  const PictureOf& pictureOf) {
    QString problem;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(0, -top);
    painter.scale(frame.ratio, frame.ratio);
    painter.translate(-frame.box.topLeft());
    const QRectF rows = pointRows(frame, top, image.height());
    for (const CanvasItem& item : state.items) {
        QImage picture;
        if (const ImageItem* image = item.image()) {
            if (!standardized(image->frame).intersects(rows)) continue;
            picture = pictureOf(item, *image);
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

QString exportTooLarge(const CanvasState& state) {
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return {};
    const QSize size = frame->pixels;
    if (qint64(size.width()) * size.height() <= maxExportTotalPixels &&
        std::max(size.width(), size.height()) <= maxExportSidePixels)
        return {};
    return QObject::tr("the canvas would export as %1 × %2 pixels, more than an export may have "
                       "(%3 million pixels, and %4 on a side)")
        .arg(size.width())
        .arg(size.height())
        .arg(maxExportTotalPixels / 1000000)
        .arg(maxExportSidePixels);
}

QImage renderImage(const CanvasState& state, QString* problem) {
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return {};
    QString why = undrawablePicture(state);
    if (why.isEmpty()) why = exportTooLarge(state);
    QImage image;
    if (why.isEmpty()) {
        image = QImage(frame->pixels, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) why = QObject::tr("the picture would be too large to make");
    }
    const auto shared = [](const CanvasItem& item, const ImageItem& picture) {
        return DecodedImageCache::shared().image(item.id(), picture.pngData);
    };
    if (why.isEmpty()) why = paintRows(state, *frame, 0, image, shared);
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

std::optional<QByteArray> renderPNG(const CanvasState& state, QString* problem,
                                    const DecodedPictures& decoded, const RenderProgress& going) {
    const std::optional<ExportFrame> frame = exportFrame(state);
    if (!frame) return std::nullopt;
    const auto fail = [problem](const QString& why) -> std::optional<QByteArray> {
        if (problem) *problem = why;
        return std::nullopt;
    };
    if (QString why = undrawablePicture(state); !why.isEmpty()) return fail(why);
    if (QString why = exportTooLarge(state); !why.isEmpty()) return fail(why);
    // The rows go to the encoder in bands of about 32 MB, so an export of hundreds of
    // megapixels never exists whole; the encoder deflates each band on a thread of its own
    // while the next is drawn.
    const int width = frame->pixels.width(), height = frame->pixels.height();
    const int bandRows = std::clamp(int(exportBandBytes / (4 * qint64(width))), 16, height);

    PngStreamEncoder encoder(width, height, frame->dotsPerMeter());
    // Enough bands to go round while the encoder holds some: one it has let go of is drawn
    // into again instead of allocating another.
    std::vector<QImage> bands(std::size_t(2 * std::max(1u, std::thread::hardware_concurrency()) + 1));
    // A picture is decoded on a thread of its own a band before the first band that reaches
    // it, so the encoder's threads never wait on a decode, and let go after the last: the
    // pictures held are only those the band crosses and the next.
    QHash<QUuid, std::shared_future<QImage>> held;
    const auto fetch = [&](const QRectF& rows) {
        for (const CanvasItem& item : state.items) {
            const ImageItem* picture = item.image();
            if (!picture || held.contains(item.id()) ||
                !standardized(picture->frame).intersects(rows))
                continue;
            if (QImage image = decoded.value(item.id()); !image.isNull()) {
                std::promise<QImage> ready;
                ready.set_value(image);
                held.insert(item.id(), ready.get_future().share());
                continue;
            }
            QByteArray bytes = picture->pngData;
            held.insert(item.id(), std::async(std::launch::async, [bytes] {
                                       return decodePicture(bytes);
                                   }).share());
        }
    };
    const auto pictureOf = [&](const CanvasItem& item, const ImageItem&) {
        const auto found = held.constFind(item.id());
        return found == held.constEnd() ? QImage() : found->get();
    };
    for (int top = 0, index = 0; top < height; top += bandRows, ++index) {
        QImage& band = bands[std::size_t(index) % bands.size()];
        const int rows = std::min(bandRows, height - top);
        const QRectF here = pointRows(*frame, top, rows);
        fetch(here);
        fetch(pointRows(*frame, top + rows, bandRows));
        if (band.height() != rows) band = QImage(width, rows, QImage::Format_ARGB32_Premultiplied);
        if (band.isNull()) return fail(QObject::tr("there is not enough memory to draw it"));
        if (QString why = paintRows(state, *frame, top, band, pictureOf); !why.isEmpty())
            return fail(why);
        if (!encoder.addRows(band)) return fail(QObject::tr("the picture could not be encoded"));
        for (const CanvasItem& item : state.items)
            if (const ImageItem* picture = item.image();
                picture && standardized(picture->frame).bottom() <= here.bottom())
                held.remove(item.id());
        if (going && !going(double(top + rows) / height)) return std::nullopt;
    }
    std::optional<QByteArray> png = encoder.finish();
    if (!png) return fail(QObject::tr("the picture could not be encoded"));
    return png;
}

} // namespace pintora
