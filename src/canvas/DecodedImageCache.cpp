#include "canvas/DecodedImageCache.h"

#include <QBuffer>
#include <QImageReader>
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

QImage DecodedImageCache::decode(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    // Premultiplied pixels are what the painter blends fastest.
    if (image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    } else if (image.format() != QImage::Format_RGB32) {
        image.convertTo(QImage::Format_RGB32);
    }
    return image;
}

QImage DecodedImageCache::image(const QUuid& id, const QByteArray& data) {
    const auto found = images_.constFind(id);
    if (found != images_.constEnd()) {
        recency_.removeOne(id);
        recency_.append(id);
        return *found;
    }
    QImage decoded = decode(data);
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
