#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QUuid>

namespace pintora {

// Decoded pictures by item id, shared by every window. An item's picture bytes never change
// while its id stays, so the id alone is the key. At most `capacity` pictures are kept; the
// least recently used goes first. A picture that does not decode is not remembered, so the
// next call tries again.
class DecodedImageCache {
public:
    static constexpr qsizetype defaultCapacity = 64;

    explicit DecodedImageCache(qsizetype capacity = defaultCapacity);

    static DecodedImageCache& shared();

    // The picture for the item, decoding `data` on a miss; a null image when it does not
    // decode.
    QImage image(const QUuid& id, const QByteArray& data);

    qsizetype count() const { return images_.size(); }
    bool contains(const QUuid& id) const { return images_.contains(id); }
    void clear();

    // Decodes picture bytes within the process's image size limit.
    static QImage decode(const QByteArray& data);

private:
    qsizetype capacity_;
    QHash<QUuid, QImage> images_;
    QList<QUuid> recency_; // least recently used first
};

// Raises Qt's limit on the memory one decoded picture may take: full-page captures exceed
// its default of 128 MB, yet a picture that claims 100,000 × 100,000 pixels must be refused
// rather than exhaust memory.
void configureImageAllocationLimit();
inline constexpr int imageAllocationLimitMB = 1024;

} // namespace pintora
