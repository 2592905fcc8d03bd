#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QUuid>

namespace pintora {

// Decoded pictures by item id, shared by every window. An item's picture bytes never change
// while its id stays, so the id alone is the key. The pictures kept take at most `budgetBytes`
// of memory (a full-page capture alone can take 100 MB); the least recently used go first,
// and the picture just asked for is kept even when it is larger than the budget on its own. A
// picture that does not decode is not remembered, so the next call tries again.
class DecodedImageCache {
public:
    static constexpr qint64 defaultBudgetBytes = 512LL * 1024 * 1024;

    explicit DecodedImageCache(qint64 budgetBytes = defaultBudgetBytes);

    static DecodedImageCache& shared();

    // The picture for the item, decoding `data` on a miss; a null image when it does not
    // decode.
    QImage image(const QUuid& id, const QByteArray& data);

    qsizetype count() const { return images_.size(); }
    qint64 bytes() const { return bytes_; }
    bool contains(const QUuid& id) const { return images_.contains(id); }
    // The item's picture if it is kept, without decoding it or counting it as used.
    QImage kept(const QUuid& id) const { return images_.value(id); }
    // Lets go of the item's picture, if it is kept.
    void remove(const QUuid& id);
    void clear();

    // Decodes picture bytes within the process's image size limit.
    static QImage decode(const QByteArray& data);

private:
    qint64 budget_;
    qint64 bytes_ = 0;
    QHash<QUuid, QImage> images_;
    QList<QUuid> recency_; // least recently used first
};

// Raises Qt's limit on the memory one decoded picture may take: full-page captures exceed
// its default of 128 MB, yet a picture that claims 100,000 × 100,000 pixels must be refused
// rather than exhaust memory. Blocks of a megabyte and more go back to the system when freed.
void configurePictureMemory();
inline constexpr int imageAllocationLimitMB = 1024;

} // namespace pintora
