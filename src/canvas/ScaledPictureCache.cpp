#include "canvas/ScaledPictureCache.h"

#include "canvas/ItemPainter.h"
#include "model/Geometry.h"

#include <QCoreApplication>
#include <QPaintDevice>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <vector>

namespace pintora {

ScaledPictureCache::ScaledPictureCache(qint64 budgetBytes, QObject* parent)
    : QObject(parent), budget_(budgetBytes), workers_(new QThreadPool(this)) {
    workers_->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

ScaledPictureCache::~ScaledPictureCache() {
    workers_->waitForDone();
}

ScaledPictureCache& ScaledPictureCache::shared() {
    static ScaledPictureCache cache;
    return cache;
}

namespace {

// Two 8-bit channels of a pixel spread 32 bits apart, so block sums never overflow.
inline quint64 spread(quint32 pixel) {
    return (pixel & 0xFF) | (quint64(pixel & 0xFF0000) << 16);
}

// The copies work on 32-bit pixels, premultiplied when the picture has alpha.
QImage as32Bit(const QImage& picture) {
    if (picture.format() == QImage::Format_RGB32 ||
        picture.format() == QImage::Format_ARGB32_Premultiplied) {
        return picture;
    }
    return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QImage areaDownscaled(const QImage& picture, QSize size) {
    const QImage source = as32Bit(picture);
    const int sw = source.width(), sh = source.height();
    const int tw = std::clamp(size.width(), 1, sw), th = std::clamp(size.height(), 1, sh);
    QImage result(tw, th, source.format());
    std::vector<int> x0(static_cast<size_t>(tw) + 1);
    for (int tx = 0; tx <= tw; ++tx)
        x0[size_t(tx)] = int(qint64(tx) * sw / tw);
    std::vector<quint64> rb(static_cast<size_t>(tw)), ag(static_cast<size_t>(tw));
    for (int ty = 0; ty < th; ++ty) {
        const int y0 = int(qint64(ty) * sh / th), y1 = int(qint64(ty + 1) * sh / th);
        std::fill(rb.begin(), rb.end(), 0);
        std::fill(ag.begin(), ag.end(), 0);
        for (int y = y0; y < y1; ++y) {
            const auto* row = reinterpret_cast<const quint32*>(source.constScanLine(y));
            for (int tx = 0; tx < tw; ++tx) {
                quint64 a = 0, b = 0;
                for (int x = x0[size_t(tx)]; x < x0[size_t(tx) + 1]; ++x) {
                    a += spread(row[x]);
                    b += spread(row[x] >> 8);
                }
                rb[size_t(tx)] += a;
                ag[size_t(tx)] += b;
            }
        }
        auto* out = reinterpret_cast<quint32*>(result.scanLine(ty));
        for (int tx = 0; tx < tw; ++tx) {
            const quint64 n = quint64(x0[size_t(tx) + 1] - x0[size_t(tx)]) * quint64(y1 - y0);
            const auto mean = [n](quint64 sums, int shift) {
                return quint32((((sums >> shift) & 0xFFFFFFFF) + n / 2) / n);
            };
            out[tx] = mean(rb[size_t(tx)], 0) | (mean(ag[size_t(tx)], 0) << 8) |
                      (mean(rb[size_t(tx)], 32) << 16) | (mean(ag[size_t(tx)], 32) << 24);
        }
    }
    return result;
}

QImage sampledDownscale(const QImage& picture, QSize size) {
    const QImage source = as32Bit(picture);
    const int sw = source.width(), sh = source.height();
    const int tw = std::clamp(size.width(), 1, sw), th = std::clamp(size.height(), 1, sh);
    QImage result(tw, th, source.format());
    std::vector<int> columns(static_cast<size_t>(tw));
    for (int tx = 0; tx < tw; ++tx)
        columns[size_t(tx)] = int((2 * qint64(tx) + 1) * sw / (2 * tw));
    for (int ty = 0; ty < th; ++ty) {
        const auto* row = reinterpret_cast<const quint32*>(
            source.constScanLine(int((2 * qint64(ty) + 1) * sh / (2 * th))));
        auto* out = reinterpret_cast<quint32*>(result.scanLine(ty));
        for (int tx = 0; tx < tw; ++tx)
            out[tx] = row[columns[size_t(tx)]];
    }
    return result;
}

QImage ScaledPictureCache::find(const Key& key) {
    const auto it = copies_.constFind(key);
    if (it == copies_.constEnd()) {
        return {};
    }
    recency_.removeOne(key);
    recency_.append(key);
    return *it;
}

void ScaledPictureCache::insert(const Key& key, const QImage& image) {
    if (copies_.contains(key)) {
        return;
    }
    const qint64 size = image.sizeInBytes();
    while (bytes_ + size > budget_ && !recency_.isEmpty()) {
        const Key oldest = recency_.takeFirst();
        bytes_ -= copies_.take(oldest).sizeInBytes();
    }
    copies_.insert(key, image);
    recency_.append(key);
    bytes_ += size;
}

QImage ScaledPictureCache::scaled(const QUuid& id, const QImage& picture, QSize size) {
    if (size == picture.size() || picture.isNull() || size.isEmpty()) {
        return picture;
    }
    if (QImage hit = find({id, size}); !hit.isNull()) {
        return hit;
    }
    const QImage copy = areaDownscaled(picture, size);
    insert({id, size}, copy);
    return copy;
}

void ScaledPictureCache::request(const Key& key, const QImage& picture) {
    if (inFlight_.contains(key.id)) {
        return; // once this one is in, the next frame asks for the size it needs then
    }
    inFlight_.insert(key.id);
    QPointer<ScaledPictureCache> self(this);
    workers_->start([self, key, picture] {
        const QImage copy = areaDownscaled(picture, key.size);
        if (self) {
            QMetaObject::invokeMethod(self, [self, key, copy] {
                if (self) self->received(key, copy);
            });
        }
    });
}

void ScaledPictureCache::received(const Key& key, const QImage& copy) {
    inFlight_.remove(key.id);
    quick_.remove(key);
    insert(key, copy);
    emit copyReady();
}

void ScaledPictureCache::waitForCopies() {
    while (!inFlight_.isEmpty()) {
        workers_->waitForDone();
        QCoreApplication::sendPostedEvents(this);
    }
}

void ScaledPictureCache::paint(QPainter& painter, const ImageItem& image, const QImage& picture,
                               QPointF offset) {
    if (picture.isNull()) {
        return;
    }
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxScale) {
        paintPicture(painter, image, picture, PaintTarget::canvas);
        return;
    }
    const QRectF device = transform.mapRect(standardized(image.frame).translated(offset));
    const QPaintDevice* target = painter.device();
    painter.save();
    painter.resetTransform();
    // What is left after the reset maps the widget into the device: the pixel ratio and, for a
    // child widget painted into its window's backing store, the widget's offset in it. Drawing
    // through its inverse places the picture on whole device pixels, where `device` says.
    const QTransform base = painter.deviceTransform();
    const QRectF visible = base.mapRect(QRectF(0, 0, target->width(), target->height()));
    if (device.isEmpty() || !device.intersects(visible)) {
        painter.restore();
        return;
    }
    painter.setWorldTransform(base.inverted());
    const QRectF source = cropSourceRect(image.cropRect, picture.size(), true);
    const double sx = device.width() / source.width();
    const double sy = device.height() / source.height();
    if (sx >= 0.999 && sy >= 0.999) {
        // Shown at full size or larger: the original, filtered unless the scale is whole.
        const bool whole =
            std::abs(sx - std::round(sx)) < 0.001 && std::abs(sy - std::round(sy)) < 0.001;
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !whole);
        painter.drawImage(device, picture, source);
        painter.restore();
        return;
    }
    const QSize size(std::max(1, int(std::lround(picture.width() * sx))),
                     std::max(1, int(std::lround(picture.height() * sy))));
    const Key key{image.id, size};
    QImage copy = find(key);
    if (copy.isNull()) {
        request(key, picture);
        copy = quick_.value(key);
        if (copy.isNull()) {
            // Quick copies are small and short-lived; a long zoom leaves many behind.
            if (quick_.size() > 256) quick_.clear();
            copy = sampledDownscale(picture, size);
            quick_.insert(key, copy);
        }
    }
    const double kx = double(copy.width()) / picture.width();
    const double ky = double(copy.height()) / picture.height();
    const QRect from(
        QPoint(int(std::lround(source.left() * kx)), int(std::lround(source.top() * ky))),
        QPoint(int(std::lround(source.right() * kx)) - 1,
               int(std::lround(source.bottom() * ky)) - 1));
    // Whole device pixels, so that the copy is blitted, not filtered again.
    painter.drawImage(QPoint(int(std::lround(device.left())), int(std::lround(device.top()))), copy,
                      from);
    painter.restore();
}

void ScaledPictureCache::clear() {
    waitForCopies();
    copies_.clear();
    recency_.clear();
    quick_.clear();
    bytes_ = 0;
}

} // namespace pintora
