// A size's picture: the visible area grabbed at once, or a full page grabbed in tiles and
// stitched into one picture, then handed on.
#include "capture/BatchCapture.h"

#include "capture/PageScripts.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace pintora {

using namespace pageScripts;

namespace {
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

void BatchCapture::grabVisible() {
    // A frame painted after the page became ready: pictures decoded since the last frame and
    // the scroll just made are in it, whatever the waits before.
    engine_.expectFrame();
    engine_.grabFresh(timing_.frameTimeLimitMs, deliverer());
}

void BatchCapture::captureFullPage(const QVariant& measured) {
    const double height = isNumber(measured) ? measured.toDouble() : preset_.height;
    const int tallest = maxFullPageHeightAt(preset_.width, engine_.devicePixelRatio());
    const int full = int(std::min<double>(std::max(height, preset_.height), tallest));
    if (height > tallest) emit pageCut(preset_, height, tallest);
    if (engine_.grabsBeyondView()) {
        engine_.grabPage(QSize(int(preset_.width), full), deliverer());
        return;
    }
    const double ratio = engine_.devicePixelRatio();
    if (std::ceil(full * ratio) > engine_.maxGrabHeight()) {
        captureTiles(full);
        return;
    }
    engine_.resize(QSize(int(preset_.width), full));
    QElapsedTimer grown;
    grown.start();
    pinHeights(full, [this, grown] {
        // The wait is a floor, counted from the growth; the grab then waits for a frame of
        // the new size, watched for from now on.
        engine_.expectFrame();
        later(std::max(0, timing_.fullPageMs - int(grown.elapsed())),
              [this] { engine_.grabFresh(timing_.frameTimeLimitMs, deliverer()); });
    });
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
    // Each tile waits for its frame: a long page gets the time its tiles may take.
    if (steps_.timeoutMs <= 0) {
        const int tiles = (fullHeight + tileHeight_ - 1) / tileHeight_;
        deadline_.start(deadline_.remainingTime() +
                        tiles * (timing_.tileSettleMs + timing_.frameTimeLimitMs));
    }
    const int owner = step_;
    engine_.evaluate(hideScrollbarsScript + u';' + unstickScript, [this, owner](const QVariant&) {
        if (!running_ || owner != step_) return;
        engine_.resize(QSize(int(preset_.width), tileHeight_));
        pinHeights(tileHeight_, [this] { later(timing_.fullPageMs, [this] { grabTile(0); }); });
    });
}

void BatchCapture::grabTile(int top) {
    const int fullHeight = stitchHeight_;
    // The last tile is scrolled no further than the page allows and lends only its lower part.
    const int scrollTop = std::min(top, fullHeight - tileHeight_);
    const int owner = step_;
    // After the first tile the page's scroll handlers get their moment, then whatever they
    // (or the page) fixed to the view is hidden.
    const auto whenSettled = [this, top](std::function<void()> then) {
        if (top == 0) {
            then();
            return;
        }
        later(timing_.tileSettleMs, [this, then = std::move(then)] {
            engine_.evaluate(hideFixedScript, [then](const QVariant&) { then(); });
        });
    };
    engine_.evaluate(tileScrollScript(scrollTop), [this, owner, top, scrollTop, fullHeight,
                                                   whenSettled](const QVariant&) {
        if (!running_ || owner != step_) return;
        whenSettled([this, owner, top, scrollTop, fullHeight] {
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
    });
}

void BatchCapture::deliver(const QImage& image) {
    if (image.isNull()) {
        const QString why = engine_.failure();
        fail(why.isEmpty() ? tr("the page could not be grabbed") : why);
        return;
    }
    if (steps_.clipTo.isEmpty()) {
        hand(image);
        return;
    }
    // The element's box, measured in the page as it was grabbed, cut out of the whole page.
    const int owner = step_;
    engine_.evaluate(elementBoxScript(steps_.clipTo), [this, owner,
                                                       image](const QVariant& answer) {
        if (!running_ || owner != step_) return;
        const QVariantList box =
            answer.typeId() == QMetaType::QVariantList ? answer.toList() : QVariantList();
        if (box.size() != 4) {
            fail(answer.toString() == QLatin1String("bad")
                     ? tr("'%1' is not a CSS selector").arg(steps_.clipTo)
                     : tr("nothing matches '%1'").arg(steps_.clipTo));
            return;
        }
        const double ratio = image.devicePixelRatio();
        const auto px = [ratio](const QVariant& v) {
            return int(std::lround(v.toDouble() * ratio));
        };
        const QRect wanted(px(box[0]), px(box[1]), px(box[2]), px(box[3]));
        const QRect clipped = wanted & QRect(QPoint(0, 0), image.size());
        if (clipped.isEmpty()) {
            fail(tr("'%1' has no box on the page").arg(steps_.clipTo));
            return;
        }
        QImage part = image.copy(clipped);
        part.setDevicePixelRatio(ratio);
        hand(part);
    });
}

void BatchCapture::hand(const QImage& image) {
    if (!image.isNull() && onSnapshot_) onSnapshot_(image, preset_);
    next();
}

} // namespace pintora
