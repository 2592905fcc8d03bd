#include "capture/BatchCapture.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace pintora {

namespace {
// Tiles are stitched by scrolling; a scrollbar would take width from the page in tile mode
// only, and smooth scrolling would leave a tile half way.
const QString hideScrollbarsScript =
    QStringLiteral("(function(){var s=document.createElement('style');"
                   "s.textContent='::-webkit-scrollbar{display:none}html{scrollbar-width:none;"
                   "scroll-behavior:auto !important}';"
                   "document.documentElement.appendChild(s);})()");

QString tileScrollScript(int y) {
    return QStringLiteral("window.scrollTo({top:%1,left:0,behavior:'instant'});").arg(y);
}

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}
} // namespace

QString BatchCapture::scrollScript(double y) {
    return QStringLiteral("window.scrollTo(0, %1);").arg(qint64(std::trunc(y)));
}

BatchCapture::BatchCapture(CaptureEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine) {
    loadTimer_.setSingleShot(true);
    connect(&loadTimer_, &QTimer::timeout, this, &BatchCapture::loadTimedOut);
}

BatchCapture::~BatchCapture() {
    if (running_) engine_.close();
}

void BatchCapture::run(const QUrl& url, const QList<ViewportPreset>& presets, bool fullPage,
                       double visibleScrollY, ProgressCallback onProgress,
                       SnapshotCallback onSnapshot, CompleteCallback onComplete) {
    if (presets.isEmpty()) {
        if (onComplete) onComplete();
        return;
    }
    url_ = url;
    queue_ = presets;
    total_ = int(presets.size());
    fullPage_ = fullPage;
    visibleScrollY_ = visibleScrollY;
    onProgress_ = std::move(onProgress);
    onSnapshot_ = std::move(onSnapshot);
    onComplete_ = std::move(onComplete);
    running_ = true;
    engine_.open([this](int loadId) { loadEnded(loadId); });
    next();
}

void BatchCapture::next() {
    ++step_;
    loadTimer_.stop();
    if (queue_.isEmpty() || !running_) {
        teardown();
        // The caller may start the next run from here.
        CompleteCallback complete = std::move(onComplete_);
        onProgress_ = {};
        onSnapshot_ = {};
        if (complete) complete();
        return;
    }
    preset_ = queue_.takeFirst();
    if (onProgress_) onProgress_({total_ - int(queue_.size()), total_});
    engine_.resize(QSize(int(preset_.width), int(preset_.height)));
    loadEnded_ = false;
    engine_.load(url_, ++loadId_);
    loadTimer_.start(timing_.loadTimeoutMs);
}

void BatchCapture::loadEnded(int loadId) {
    // Only the first end of this preset's own load counts: a stopped load reporting late, or a
    // page navigating again by itself, must not advance the queue twice.
    if (!running_ || loadId != loadId_ || loadEnded_) return;
    loadEnded_ = true;
    loadTimer_.stop();
    afterLoad();
}

void BatchCapture::loadTimedOut() {
    if (!running_ || loadEnded_) return;
    loadEnded_ = true;
    engine_.stop();
    afterLoad();
}

void BatchCapture::later(int ms, std::function<void()> step) {
    const int owner = step_;
    QTimer::singleShot(ms, this, [this, owner, step = std::move(step)] {
        if (running_ && owner == step_) step();
    });
}

std::function<void(const QImage&)> BatchCapture::deliverer() {
    const int owner = step_;
    return [this, owner](const QImage& image) {
        if (running_ && owner == step_) deliver(image);
    };
}

void BatchCapture::afterLoad() {
    later(timing_.settleMs, [this] {
        const int owner = step_;
        if (fullPage_) {
            engine_.evaluate(measureScript, [this, owner](const QVariant& result) {
                if (running_ && owner == step_) captureFullPage(result);
            });
        } else if (visibleScrollY_ > 0) {
            engine_.evaluate(scrollScript(visibleScrollY_), [this, owner](const QVariant&) {
                if (running_ && owner == step_)
                    later(timing_.scrollMs, [this] { engine_.grab(deliverer()); });
            });
        } else {
            engine_.grab(deliverer());
        }
    });
}

void BatchCapture::captureFullPage(const QVariant& measured) {
    const double height = isNumber(measured) ? measured.toDouble() : preset_.height;
    const int full = int(std::min<double>(std::max(height, preset_.height), maxFullPageHeight));
    const double ratio = engine_.devicePixelRatio();
    if (std::ceil(full * ratio) > engine_.maxGrabHeight()) {
        captureTiles(full);
        return;
    }
    engine_.resize(QSize(int(preset_.width), full));
    // The wait is a floor; the grab then waits for a frame of the new size, watched for from
    // now on.
    engine_.expectFrame();
    later(timing_.fullPageMs, [this] { engine_.grabFresh(timing_.frameTimeLimitMs, deliverer()); });
}

void BatchCapture::captureTiles(int fullHeight) {
    const double ratio = engine_.devicePixelRatio();
    tileHeight_ = std::max(1, int(std::floor(engine_.maxGrabHeight() / ratio)));
    tileHeight_ = std::min(tileHeight_, fullHeight);
    stitched_ = QImage(int(std::ceil(preset_.width * ratio)), int(std::ceil(fullHeight * ratio)),
                       QImage::Format_ARGB32_Premultiplied);
    if (stitched_.isNull()) {
        deliver(QImage());
        return;
    }
    stitchHeight_ = fullHeight;
    stitched_.fill(Qt::white);
    const int owner = step_;
    engine_.evaluate(hideScrollbarsScript, [this, owner](const QVariant&) {
        if (!running_ || owner != step_) return;
        engine_.resize(QSize(int(preset_.width), tileHeight_));
        later(timing_.fullPageMs, [this] { grabTile(0); });
    });
}

void BatchCapture::grabTile(int top) {
    const int fullHeight = stitchHeight_;
    // The last tile is scrolled no further than the page allows and lends only its lower part.
    const int scrollTop = std::min(top, fullHeight - tileHeight_);
    const int owner = step_;
    engine_.evaluate(
        tileScrollScript(scrollTop), [this, owner, top, scrollTop, fullHeight](const QVariant&) {
            if (!running_ || owner != step_) return;
            engine_.grabFresh(timing_.frameTimeLimitMs, [this, owner, top, scrollTop,
                                                         fullHeight](const QImage& tile) {
                if (!running_ || owner != step_) return;
                if (tile.isNull()) {
                    stitched_ = QImage();
                    deliver(QImage());
                    return;
                }
                // Device pixels on both sides: the tile is copied, never scaled.
                QImage pixels = tile;
                pixels.setDevicePixelRatio(1);
                const double ratio = engine_.devicePixelRatio();
                const int from = int(std::lround((top - scrollTop) * ratio));
                const int to = int(std::lround(top * ratio));
                const int rows = std::min(pixels.height() - from, stitched_.height() - to);
                QPainter painter(&stitched_);
                painter.setCompositionMode(QPainter::CompositionMode_Source);
                painter.drawImage(QPoint(0, to), pixels, QRect(0, from, pixels.width(), rows));
                painter.end();
                const int nextTop = top + tileHeight_;
                if (nextTop >= fullHeight) {
                    QImage image = std::move(stitched_);
                    stitched_ = QImage();
                    image.setDevicePixelRatio(engine_.devicePixelRatio());
                    deliver(image);
                } else {
                    grabTile(nextTop);
                }
            });
        });
}

void BatchCapture::deliver(const QImage& image) {
    if (!image.isNull() && onSnapshot_) onSnapshot_(image, preset_);
    next();
}

void BatchCapture::teardown() {
    if (!running_) return;
    running_ = false;
    loadTimer_.stop();
    engine_.close();
}

} // namespace pintora
