#pragma once

#include "model/CanvasState.h"

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
// What the decodes running at one time on every thread may take together.
inline constexpr qint64 decodesInFlightBytes = 1280LL * 1024 * 1024;

// Whether a picture of that size fits the limit in 32-bit pixels, the form the program keeps.
bool fitsPictureLimit(QSize size);

// Decodes a picture into 32-bit pixels (premultiplied when it has alpha). One whose header
// names more pixels than the limit allows at 32 bits is refused before any is decoded,
// whatever its own depth (a 1-bit picture would grow 32 times); a decode waits while those
// under way elsewhere would take the memory for decodes. Null when it does not decode, and
// `why` then says so when its size was the reason ("32768 × 32768 pixels is too large").
QImage decodePicture(const QByteArray& bytes, QString* why = nullptr);

// What to tell the user of the pictures the canvas cannot show, as their headers name sizes
// over the limit ("A picture is too large to show: …"); empty when there are none.
QString unshownPictures(const CanvasState& state);
QImage decodePictureFile(const QString& path, QString* why = nullptr);

} // namespace pintora
