#include "canvas/DecodedImageCache.h"

#include "shapes/CropGeometry.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace pintora {

void configurePictureMemory() {
    QImageReader::setAllocationLimit(imageAllocationLimitMB);
#ifdef __GLIBC__
    // A fixed threshold: glibc's own rises with each big block freed, up to 32 MB, and then
    // keeps pictures, bands and copies freed on worker threads in their arenas, so a Copy as
    // PNG of a big canvas left the process 600 MB larger for good.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

DecodedImageCache::DecodedImageCache(qint64 budgetBytes) : budget_(budgetBytes) {
    configurePictureMemory();
}

DecodedImageCache& DecodedImageCache::shared() {
    static DecodedImageCache cache;
    return cache;
}

bool fitsPictureLimit(QSize size) {
    // In floating point: a header may name 2^31 - 1 pixels a side, whose product overflows.
    return size.isValid() &&
           double(size.width()) * size.height() * 4 <= imageAllocationLimitMB * 1048576.0;
}

namespace {
// The memory the decodes under way take, on every thread.
class DecodeBudget {
public:
    void take(qint64 bytes) {
        std::unique_lock lock(mutex_);
        // One decode alone always runs, however large, so none waits for ever.
        freed_.wait(lock, [&] { return used_ == 0 || used_ + bytes <= decodesInFlightBytes; });
        used_ += bytes;
    }
    void give(qint64 bytes) {
        {
            std::lock_guard lock(mutex_);
            used_ -= bytes;
        }
        freed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    qint64 used_ = 0;
};

DecodeBudget& decodeBudget() {
    static DecodeBudget budget;
    return budget;
}

QImage decodeWith(QImageReader& reader, QString* why) {
    const QSize size = reader.size();
    if (size.isValid() && !fitsPictureLimit(size)) {
        if (why) *why = QObject::tr("%1 × %2 pixels is too large").arg(size.width()).arg(size.height());
        return {};
    }
    // The decoded picture in its own format and its 32-bit copy exist at once for a moment.
    const int ownBytes =
        std::max(1, (QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel() + 7) / 8);
    const qint64 need =
        size.isValid() ? qint64(size.width()) * size.height() * (4 + ownBytes) : 0;
    decodeBudget().take(need);
    QImage image = reader.read();
    // Premultiplied pixels are what the painter blends fastest.
    if (image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    } else if (!image.isNull() && image.format() != QImage::Format_RGB32) {
        image.convertTo(QImage::Format_RGB32);
    }
    decodeBudget().give(need);
    return image;
}
} // namespace

QImage decodePicture(const QByteArray& bytes, QString* why) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return decodeWith(reader, why);
}

QImage decodePictureFile(const QString& path, QString* why) {
    QImageReader reader(path);
    return decodeWith(reader, why);
}

QString unshownPictures(const CanvasState& state) {
    int count = 0;
    QSize largest;
    for (const CanvasItem& item : state.items) {
        const ImageItem* image = item.image();
        const std::optional<QSize> size = image ? pictureSize(image->pngData) : std::nullopt;
        if (!size || fitsPictureLimit(*size)) continue;
        ++count;
        if (qint64(size->width()) * size->height() > qint64(largest.width()) * largest.height())
            largest = *size;
    }
    if (count == 0) return {};
    const qint64 allowed = qint64(imageAllocationLimitMB) * 1048576 / 4 / 1000000;
    const QString size = QStringLiteral("%1 × %2 pixels, more than the %3 million a picture may have")
                             .arg(largest.width())
                             .arg(largest.height())
                             .arg(allowed);
    return count == 1 ? QObject::tr("A picture is too large to show: %1. It stays in the document "
                                    "as it is.")
                            .arg(size)
                      : QObject::tr("%1 pictures are too large to show; the largest is %2. They "
                                    "stay in the document as they are.")
                            .arg(count)
                            .arg(size);
}

QImage DecodedImageCache::image(const QUuid& id, const QByteArray& data) {
    const auto found = images_.constFind(id);
    if (found != images_.constEnd()) {
        recency_.removeOne(id);
        recency_.append(id);
        return *found;
    }
    QImage decoded = decodePicture(data);
    if (decoded.isNull()) {
        return {};
    }
    while (bytes_ + decoded.sizeInBytes() > budget_ && !recency_.isEmpty()) {
        bytes_ -= images_.take(recency_.takeFirst()).sizeInBytes();
    }
    bytes_ += decoded.sizeInBytes();
    images_.insert(id, decoded);
    recency_.append(id);
    return decoded;
}

void DecodedImageCache::remove(const QUuid& id) {
    const auto found = images_.constFind(id);
    if (found == images_.constEnd()) return;
    bytes_ -= found->sizeInBytes();
    images_.erase(found);
    recency_.removeOne(id);
}

void DecodedImageCache::clear() {
    bytes_ = 0;
    images_.clear();
    recency_.clear();
}

} // namespace pintora
