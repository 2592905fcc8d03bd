#include "canvas/ScaledPictureCache.h"

#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "model/Geometry.h"
#include "shapes/CropGeometry.h"

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
    makeRoom(size);
    copies_.insert(key, image);
    recency_.append(key);
    lastCopy_.insert(key.id, key.size);
    bytes_ += size;
}

void ScaledPictureCache::makeRoom(qint64 size) {
    while (bytes_ + quickBytes_ + size > budget_ && !recency_.isEmpty()) {
        const Key oldest = recency_.takeFirst();
        bytes_ -= copies_.take(oldest).sizeInBytes();
    }
}

void ScaledPictureCache::dropQuick(const QUuid& id) {
    if (const auto found = quick_.constFind(id); found != quick_.constEnd()) {
        quickBytes_ -= found->sizeInBytes();
        quick_.erase(found);
    }
}

void ScaledPictureCache::request(const Key& key, const QImage& picture) {
    startJob(key, 1, [picture, size = key.size] { return areaDownscaled(picture, size); });
}

void ScaledPictureCache::startJob(const Key& key, int priority, std::function<QImage()> make) {
    if (const auto running = inFlight_.constFind(key.id); running != inFlight_.constEnd()) {
        // Once this one is in, the next frame asks for the size it needs then; only a job
        // for a view overtakes one for a thumbnail, and only while that one waits its turn.
        if (running->priority >= priority) return;
        int queued = jobQueued;
        if (!running->state->compare_exchange_strong(queued, jobCancelled)) return;
    }
    auto state = std::make_shared<std::atomic<int>>(jobQueued);
    inFlight_.insert(key.id, {state, priority});
    QPointer<ScaledPictureCache> self(this);
    workers_->start(QRunnable::create([self, key, state, make = std::move(make)] {
        int queued = jobQueued;
        if (!state->compare_exchange_strong(queued, jobStarted)) return; // overtaken
        const QImage copy = make();
        if (self) {
            QMetaObject::invokeMethod(self, [self, key, copy, state] {
                if (self) self->received(key, copy, state.get());
            });
        }
    }), priority);
}

void ScaledPictureCache::received(const Key& key, const QImage& copy,
                                  const std::atomic<int>* job) {
    if (const auto running = inFlight_.constFind(key.id);
        running != inFlight_.constEnd() && running->state.get() == job)
        inFlight_.erase(running);
    dropQuick(key.id); // whatever its size: a proper copy stands in better
    if (copy.isNull()) return; // the bytes do not decode: the box stays
    insert(key, copy);
    emit copyReady();
}

void ScaledPictureCache::waitForCopies() {
    while (!inFlight_.isEmpty()) {
        workers_->waitForDone();
        QCoreApplication::sendPostedEvents(this);
    }
}

std::optional<ScaledPictureCache::Placement>
ScaledPictureCache::place(QPainter& painter, const ImageItem& image, QSize pictureSize,
                          QPointF offset) const {
    Placement at;
    const QRectF frame = standardized(image.frame).translated(offset);
    at.device = painter.deviceTransform().mapRect(frame);
    const QPaintDevice* target = painter.device();
    // What is left after a reset maps the widget into the device: the pixel ratio and, for a
    // child widget painted into its window's backing store, the widget's offset in it. Drawing
    // through its inverse places the picture on whole device pixels, where `device` says.
    painter.save();
    painter.resetTransform();
    at.base = painter.deviceTransform();
    painter.restore();
    const QRectF visible = at.base.mapRect(QRectF(0, 0, target->width(), target->height()));
    if (at.device.isEmpty() || !at.device.intersects(visible)) return std::nullopt;
    at.source = cropSourceRect(image.cropRect, pictureSize, true);
    const double sx = at.device.width() / at.source.width();
    const double sy = at.device.height() / at.source.height();
    at.full = sx >= 0.999 && sy >= 0.999;
    at.size = QSize(std::max(1, int(std::lround(pictureSize.width() * sx))),
                    std::max(1, int(std::lround(pictureSize.height() * sy))));
    return at;
}

void ScaledPictureCache::drawCopy(QPainter& painter, const Placement& at, const QImage& copy,
                                  QSize pictureSize) const {
    painter.save();
    painter.setWorldTransform(at.base.inverted());
    const double kx = double(copy.width()) / pictureSize.width();
    const double ky = double(copy.height()) / pictureSize.height();
    const QRect from(
        QPoint(int(std::lround(at.source.left() * kx)), int(std::lround(at.source.top() * ky))),
        QPoint(int(std::lround(at.source.right() * kx)) - 1,
               int(std::lround(at.source.bottom() * ky)) - 1));
    if (copy.size() == at.size) {
        // Whole device pixels, so that the copy is blitted, not filtered again.
        painter.drawImage(
            QPoint(int(std::lround(at.device.left())), int(std::lround(at.device.top()))), copy,
            from);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(at.device, copy, QRectF(from));
    }
    painter.restore();
}

void ScaledPictureCache::paint(QPainter& painter, const ImageItem& image, const QImage& picture,
                               QPointF offset) {
    if (picture.isNull()) {
        return;
    }
    if (painter.deviceTransform().type() > QTransform::TxScale) {
        paintPicture(painter, image, picture, PaintTarget::canvas);
        return;
    }
    const auto at = place(painter, image, picture.size(), offset);
    if (!at) return;
    if (at->full) {
        // Shown at full size or larger: the original, filtered unless the scale is whole.
        const double sx = at->device.width() / at->source.width();
        const double sy = at->device.height() / at->source.height();
        const bool whole =
            std::abs(sx - std::round(sx)) < 0.001 && std::abs(sy - std::round(sy)) < 0.001;
        painter.save();
        painter.setWorldTransform(at->base.inverted());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !whole);
        painter.drawImage(at->device, picture, at->source);
        painter.restore();
        return;
    }
    const Key key{image.id, at->size};
    QImage copy = find(key);
    if (copy.isNull()) {
        request(key, picture);
        // One quick copy per picture, of the size asked for last: a long zoom passes many.
        copy = quick_.value(image.id);
        if (copy.size() != at->size) {
            dropQuick(image.id);
            copy = sampledDownscale(picture, at->size);
            makeRoom(copy.sizeInBytes());
            quick_.insert(image.id, copy);
            quickBytes_ += copy.sizeInBytes();
        }
    }
    drawCopy(painter, *at, copy, picture.size());
}

bool ScaledPictureCache::paint(QPainter& painter, const ImageItem& image,
                               DecodedImageCache& decoded, QPointF offset) {
    return paintFromBytes(painter, image, decoded, offset, 1);
}

bool ScaledPictureCache::paintFromBytes(QPainter& painter, const ImageItem& image,
                                        DecodedImageCache& decoded, QPointF offset,
                                        int priority) {
    auto known = sizes_.constFind(image.id);
    if (known == sizes_.constEnd()) {
        const std::optional<QSize> size = pictureSize(image.pngData);
        if (!size) return true; // not a picture: nothing to draw, as when it does not decode
        known = sizes_.insert(image.id, *size);
    }
    const QSize size = *known;
    if (painter.deviceTransform().type() > QTransform::TxScale) {
        paint(painter, image, decoded.image(image.id, image.pngData), offset);
        return true;
    }
    const auto at = place(painter, image, size, offset);
    if (!at) return true;
    if (at->full || decoded.contains(image.id)) {
        // At full size the original is needed; decoded already, it makes the quick copies.
        const bool copied = copies_.contains({image.id, at->size});
        paint(painter, image, decoded.image(image.id, image.pngData), offset);
        if (!at->full && copied) decoded.remove(image.id);
        return at->full || copied;
    }
    const Key key{image.id, at->size};
    if (const QImage copy = find(key); !copy.isNull()) {
        drawCopy(painter, *at, copy, size);
        return true;
    }
    requestFromBytes(key, image.pngData, priority);
    // Until the copy comes: the latest copy of another size, or a plain box where it goes.
    if (const QImage earlier = copies_.value({image.id, lastCopy_.value(image.id)});
        !earlier.isNull()) {
        drawCopy(painter, *at, earlier, size);
        return false;
    }
    painter.save();
    painter.setWorldTransform(at->base.inverted());
    painter.fillRect(at->device, QColor(0xDD, 0xDF, 0xE3));
    painter.restore();
    return false;
}

bool ScaledPictureCache::paintSmall(QPainter& painter, const ImageItem& image,
                                    DecodedImageCache& decoded) {
    const auto latest = lastCopy_.constFind(image.id);
    const QImage copy =
        latest == lastCopy_.constEnd() ? QImage() : copies_.value({image.id, *latest});
    const QSize size = sizes_.value(image.id);
    if (copy.isNull() || size.isEmpty() ||
        painter.deviceTransform().type() > QTransform::TxScale)
        return paintFromBytes(painter, image, decoded, QPointF(0, 0), 0);
    const auto at = place(painter, image, size, QPointF(0, 0));
    if (at) drawCopy(painter, *at, copy, size);
    return true;
}

void ScaledPictureCache::requestFromBytes(const Key& key, const QByteArray& pngData,
                                          int priority) {
    startJob(key, priority, [pngData, size = key.size] {
        const QImage picture = decodePicture(pngData);
        // The full-size picture goes when this returns, before the copy is handed over.
        return picture.isNull() ? QImage() : areaDownscaled(picture, size);
    });
}

void ScaledPictureCache::clear() {
    waitForCopies();
    copies_.clear();
    recency_.clear();
    quick_.clear();
    lastCopy_.clear();
    bytes_ = 0;
    quickBytes_ = 0;
}

} // namespace pintora
