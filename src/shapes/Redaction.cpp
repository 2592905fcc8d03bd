#include "shapes/Redaction.h"

#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "export/PngEncoder.h"
#include "shapes/CropGeometry.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace pintora {

namespace {

struct Mean {
    double a = 0, r = 0, g = 0, b = 0;
};

QRgb rgbaOf(const Mean& m) {
    const auto channel = [](double v) { return std::clamp(int(std::lround(v)), 0, 255); };
    return qRgba(channel(m.r), channel(m.g), channel(m.b), channel(m.a));
}

} // namespace

void redactPixels(QImage& image, const QRect& wanted, RedactStyle style) {
    const QRect area = wanted.intersected(image.rect());
    if (area.isEmpty()) return;
    // Means are taken of straight (not premultiplied) 8-bit values; the picture stays in that
    // format (it is written as 8-bit RGB or RGBA anyway), so nothing outside the area changes.
    const QImage::Format format = image.format();
    if (format != QImage::Format_ARGB32 && format != QImage::Format_RGB32) {
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull()) return; // no memory for it
    }
    const int n = redactBlockPixels;
    const int columns = (area.width() + n - 1) / n;
    const int rows = (area.height() + n - 1) / n;
    std::vector<Mean> means(size_t(columns) * rows);
    for (int by = 0; by < rows; ++by) {
        for (int bx = 0; bx < columns; ++bx) {
            const QRect block = QRect(area.x() + bx * n, area.y() + by * n, n, n) & area;
            Mean sum;
            for (int y = block.top(); y <= block.bottom(); ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
                for (int x = block.left(); x <= block.right(); ++x) {
                    sum.a += qAlpha(line[x]);
                    sum.r += qRed(line[x]);
                    sum.g += qGreen(line[x]);
                    sum.b += qBlue(line[x]);
                }
            }
            const double count = double(block.width()) * block.height();
            means[size_t(by) * columns + bx] = {sum.a / count, sum.r / count, sum.g / count,
                                                sum.b / count};
        }
    }
    const auto meanAt = [&](int bx, int by) -> const Mean& {
        const size_t row = size_t(std::clamp(by, 0, rows - 1));
        return means[row * columns + size_t(std::clamp(bx, 0, columns - 1))];
    };
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int by = (y - area.y()) / n;
        // Where the pixel lies between the centres of the blocks around it.
        const double fy = (y - area.y() + 0.5) / n - 0.5;
        const int y0 = int(std::floor(fy));
        const double ty = fy - y0;
        for (int x = area.left(); x <= area.right(); ++x) {
            if (style == RedactStyle::pixelate) {
                line[x] = rgbaOf(meanAt((x - area.x()) / n, by));
                continue;
            }
            const double fx = (x - area.x() + 0.5) / n - 0.5;
            const int x0 = int(std::floor(fx));
            const double tx = fx - x0;
            const Mean& m00 = meanAt(x0, y0);
            const Mean& m10 = meanAt(x0 + 1, y0);
            const Mean& m01 = meanAt(x0, y0 + 1);
            const Mean& m11 = meanAt(x0 + 1, y0 + 1);
            const auto mix = [&](double Mean::*c) {
                return (m00.*c * (1 - tx) + m10.*c * tx) * (1 - ty) +
                       (m01.*c * (1 - tx) + m11.*c * tx) * ty;
            };
            line[x] = rgbaOf({mix(&Mean::a), mix(&Mean::r), mix(&Mean::g), mix(&Mean::b)});
        }
    }
}

std::optional<QRect> pictureAreaUnder(const ImageItem& image, QSize pictureSize,
                                      const QRectF& box) {
    const QRectF frame = image.frame.normalized();
    const QRectF covered = box.normalized() & frame;
    if (covered.isEmpty() || frame.isEmpty() || pictureSize.isEmpty()) return std::nullopt;
    // Canvas point -> picture pixel, through the part of the picture the canvas draws.
    const QRectF shown = cropSourceRect(image.cropRect, pictureSize, true);
    const auto toPixelX = [&](double x) {
        return shown.x() + (x - frame.x()) / frame.width() * shown.width();
    };
    const auto toPixelY = [&](double y) {
        return shown.y() + (y - frame.y()) / frame.height() * shown.height();
    };
    const int left = int(std::floor(std::max(toPixelX(covered.left()), shown.left())));
    const int top = int(std::floor(std::max(toPixelY(covered.top()), shown.top())));
    const int right = int(std::ceil(std::min(toPixelX(covered.right()), shown.right())));
    const int bottom = int(std::ceil(std::min(toPixelY(covered.bottom()), shown.bottom())));
    const QRect area = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) &
                       QRect(QPoint(0, 0), pictureSize);
    if (area.isEmpty()) return std::nullopt;
    return area;
}

std::optional<CanvasState> redactedState(const CanvasState& state, const QRectF& box,
                                         RedactStyle style, int* unchanged) {
    CanvasState result = state;
    bool changed = false;
    if (unchanged) *unchanged = 0;
    for (CanvasItem& item : result.items) {
        const ImageItem* image = std::as_const(item).image();
        if (!image || !(box.normalized() & image->frame.normalized()).isValid()) continue;
        const std::optional<QSize> size = pictureSize(image->pngData);
        const std::optional<QRect> area =
            size ? pictureAreaUnder(*image, *size, box) : std::nullopt;
        if (!area) continue;
        QImage pixels = decodePicture(image->pngData);
        std::optional<QByteArray> png;
        if (!pixels.isNull()) {
            redactPixels(pixels, *area, style);
            png = encodePNG(pixels);
        }
        if (!png) {
            if (unchanged) ++*unchanged;
            continue;
        }
        ImageItem edited = *image;
        edited.id = newId();
        edited.pngData = std::move(*png);
        item = CanvasItem(std::move(edited));
        changed = true;
    }
    if (!changed) return std::nullopt;
    return result;
}

} // namespace pintora
