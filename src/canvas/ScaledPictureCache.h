#pragma once

#include "model/CanvasItem.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPainter>
#include <QSet>
#include <QSize>
#include <QUuid>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThreadPool;

namespace pintora {

class DecodedImageCache;

// Copies of pictures scaled down to the size they are shown at, so that a frame of a zoomed
// out canvas blits pixels instead of filtering full-size screenshots every time. A missing
// copy is made on a worker thread while the frame shows a quick copy that picks one pixel per
// block; `copyReady` asks for the better frame. The memory all copies take, quick ones too, is
// bounded; the least recently used go first. A picture has one quick copy at most, which goes
// when a proper copy of it comes, of whatever size.
class ScaledPictureCache : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 defaultBudgetBytes = 256LL * 1024 * 1024;

    explicit ScaledPictureCache(qint64 budgetBytes = defaultBudgetBytes, QObject* parent = nullptr);
    ~ScaledPictureCache() override;

    static ScaledPictureCache& shared();

    // Draws a picture item as the canvas shows it (crop clamped, stretched over the frame
    // shifted by `offset`), through the painter's current canvas-to-device mapping.
    void paint(QPainter& painter, const ImageItem& image, const QImage& picture,
               QPointF offset = QPointF(0, 0));
    // The same from the item's PNG bytes, decoding only what a frame needs: a picture out of
    // view is not decoded at all; one shown below full size is drawn from its copy, made on a
    // worker straight from the bytes (the full-size picture lives only while the copy is
    // made, and `decoded` lets go of it once the copy is there), with an earlier copy of
    // another size, or a plain box, standing in meanwhile; one shown at full size or larger
    // comes from `decoded`. False when something stood in for the picture.
    bool paint(QPainter& painter, const ImageItem& image, DecodedImageCache& decoded,
               QPointF offset = QPointF(0, 0));
    // For a picture drawn far smaller than any view shows it (a thumbnail): the latest copy
    // there is, filtered down, else as `paint` from the bytes.
    bool paintSmall(QPainter& painter, const ImageItem& image, DecodedImageCache& decoded);

    // What the copies take, quick ones included.
    qint64 bytes() const { return bytes_ + quickBytes_; }
    qsizetype quickCount() const { return quick_.size(); }
    qsizetype count() const { return copies_.size(); }
    // Waits for the copies being made and takes them in (tests and benchmarks).
    void waitForCopies();
    void clear();

signals:
    void copyReady();

private:
    struct Key {
        QUuid id;
        QSize size;
        bool operator==(const Key&) const = default;
    };
    friend size_t qHash(const Key& key, size_t seed) {
        return qHashMulti(seed, key.id, key.size.width(), key.size.height());
    }

    // Where a picture item lands on the painter's device; empty when out of view.
    struct Placement {
        QTransform base; // the device mapping left after resetting the painter's transform
        QRectF device;   // the frame in device pixels
        QRectF source;   // the crop in picture pixels
        QSize size;      // the picture's whole size at this scale
        bool full = false; // at full size or larger: the original is drawn
    };
    std::optional<Placement> place(QPainter& painter, const ImageItem& image,
                                   QSize pictureSize, QPointF offset) const;
    void drawCopy(QPainter& painter, const Placement& at, const QImage& copy,
                  QSize pictureSize) const;
    QImage find(const Key& key);
    void insert(const Key& key, const QImage& image);
    // Lets the least recently used copies go until `size` more bytes fit the budget.
    void makeRoom(qint64 size);
    void dropQuick(const QUuid& id);
    void request(const Key& key, const QImage& picture);
    // Decodes the bytes and scales them on a worker, never two of one item at once; copies a
    // view waits for go before those of thumbnails.
    void requestFromBytes(const Key& key, const QByteArray& pngData, int priority);
    bool paintFromBytes(QPainter& painter, const ImageItem& image, DecodedImageCache& decoded,
                        QPointF offset, int priority);
    // Runs `make` on a worker unless a job for the item is already there.
    void startJob(const Key& key, int priority, std::function<QImage()> make);
    void received(const Key& key, const QImage& copy, const std::atomic<int>* job);

    qint64 budget_;
    qint64 bytes_ = 0;
    QHash<Key, QImage> copies_;
    QList<Key> recency_;   // least recently used first
    enum JobState { jobQueued, jobStarted, jobCancelled };
    struct Job {
        std::shared_ptr<std::atomic<int>> state;
        int priority = 0;
    };
    QHash<QUuid, Job> inFlight_; // items with a copy being made
    QHash<QUuid, QSize> sizes_;   // each item's picture size, read from its header once
    QHash<QUuid, QSize> lastCopy_; // the size of each item's latest copy
    // Quick copies, one pixel picked per block, shown until the proper ones are made.
    QHash<QUuid, QImage> quick_;
    qint64 quickBytes_ = 0;
    QThreadPool* workers_;
};

// The picture at `size`, each pixel the mean of the block of pixels it covers (premultiplied
// 32-bit pictures; other formats are converted first). Only for shrinking.
QImage areaDownscaled(const QImage& picture, QSize size);
// The picture at `size`, each pixel taken from the middle of the block it covers: rough, but
// its cost is the size of the result, not of the picture.
QImage sampledDownscale(const QImage& picture, QSize size);

} // namespace pintora
