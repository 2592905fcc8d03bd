#include "capture/BatchCapture.h"

#include "canvas/DecodedImageCache.h"
#include "capture/PageScripts.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace pintora {

using namespace pageScripts;

namespace {
// A size's whole time without a time-out of its own: every limit of its steps, and room for a
// big picture's grab.
int allowedMs(const BatchCapture::Timing& timing, const BatchCapture::PageSteps& steps) {
    if (steps.timeoutMs > 0) return steps.timeoutMs;
    return timing.loadTimeoutMs + timing.settleMs + timing.prepareLimitMs + 1000 +
           timing.fullPageMs + 2 * timing.frameTimeLimitMs + steps.delayMs + 10000;
}

// How often a loading page is asked whether it has gone quiet.
int probeInterval(const BatchCapture::Timing& timing) {
    return std::max(timing.pollMs, timing.quietMs / 6);
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

QString BatchCapture::cutMessage(const ViewportPreset& preset, double pageHeight, int cutAt) {
    // One arg() for all: a preset named "%2" stays as it is.
    return tr("%1 (%2×%3): the page is %4 points tall; the picture stops at %5.")
        .arg(preset.name, QString::number(preset.width), QString::number(preset.height),
             QString::number(qint64(std::ceil(pageHeight))), QString::number(cutAt));
}

int BatchCapture::maxFullPageHeightAt(double width, double ratio) {
    const double rowBytes = 4 * std::ceil(std::max(1.0, width) * ratio);
    const double rows = std::floor(imageAllocationLimitMB * 1048576.0 / rowBytes);
    return int(std::clamp(std::floor(rows / ratio), 1.0, double(maxFullPageHeight)));
}

BatchCapture::BatchCapture(CaptureEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine) {
    loadTimer_.setSingleShot(true);
    connect(&loadTimer_, &QTimer::timeout, this, &BatchCapture::loadTimedOut);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &BatchCapture::deadlinePassed);
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
    // An element's box is cut from the whole page, so a tall element is whole.
    fullPage_ = fullPage || !steps_.clipTo.isEmpty();
    visibleScrollY_ = visibleScrollY;
    onProgress_ = std::move(onProgress);
    onSnapshot_ = std::move(onSnapshot);
    onComplete_ = std::move(onComplete);
    running_ = true;
    engine_.open([this](int loadId) { loadEnded(loadId); });
    const int owner = step_;
    engine_.whenReady([this, owner] {
        if (running_ && owner == step_) next();
    });
}

void BatchCapture::cancel() {
    if (!running_) return;
    queue_.clear();
    engine_.stop();
    next();
}

void BatchCapture::next() {
    ++step_;
    loadTimer_.stop();
    deadline_.stop();
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
    stage_ = Stage::loading;
    engine_.load(url_, ++loadId_);
    pageClock_.start();
    // Without a time-out of its own, a page still loading at the load limit is taken as it is.
    if (steps_.timeoutMs <= 0) loadTimer_.start(timing_.loadTimeoutMs);
    deadline_.start(allowedMs(timing_, steps_));
    later(probeInterval(timing_), [this] { probeQuiet(QString(), 0); });
}

void BatchCapture::probeQuiet(QString last, int quietFor) {
    if (loadEnded_) return;
    const int owner = step_;
    engine_.evaluate(quietProbeScript(loadId_), [this, owner, last,
                                                 quietFor](const QVariant& answer) {
        if (!running_ || owner != step_ || loadEnded_) return;
        const QString now = answer.typeId() == QMetaType::QString ? answer.toString() : QString();
        // Parsed, and no request finished since the last look: requests still open by now
        // have been open at least that long.
        const bool quiet =
            !now.isEmpty() && !now.startsWith(QLatin1String("loading ")) && now == last;
        const int interval = probeInterval(timing_);
        const int total = quiet ? quietFor + interval : 0;
        if (total >= timing_.quietMs) {
            loadEnded_ = true;
            loadTimer_.stop();
            afterLoad();
            return;
        }
        later(interval, [this, now, total] { probeQuiet(now, total); });
    });
}

void BatchCapture::runPageTask(const QString& start, const QString& poll, int limitMs,
                               std::function<void()> done) {
    const int owner = step_;
    auto finish = [this, owner, done = std::move(done)] {
        if (running_ && owner == step_) done();
    };
    QElapsedTimer clock;
    clock.start();
    engine_.evaluate(start, [=, this](const QVariant& answer) {
        if (answer.toString() == QLatin1String("running"))
            pollPageTask(poll, clock, limitMs, finish);
        else
            finish();
    });
}

void BatchCapture::pollPageTask(const QString& poll, QElapsedTimer clock, int limitMs,
                                std::function<void()> done) {
    later(timing_.pollMs, [=, this] {
        engine_.evaluate(poll, [=, this](const QVariant& state) {
            if (state.toString() == QLatin1String("running") && clock.elapsed() < limitMs)
                pollPageTask(poll, clock, limitMs, done);
            else
                done();
        });
    });
}

void BatchCapture::pinHeights(int viewHeight, std::function<void()> done) {
    const QString pin = pinHeightsScript(viewHeight);
    runPageTask(pin, pin, timing_.frameTimeLimitMs, std::move(done));
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

void BatchCapture::deadlinePassed() {
    if (!running_) return;
    const QString seconds = QString::number(deadline_.interval() / 1000.0);
    QString why;
    switch (stage_) {
    case Stage::loading: why = tr("the page did not load within %1 s").arg(seconds); break;
    case Stage::waitingFor:
        why = tr("nothing matched '%1' within %2 s").arg(steps_.waitFor, seconds);
        break;
    case Stage::scripting: why = tr("the script did not end within %1 s").arg(seconds); break;
    case Stage::preparing:
        why = tr("the page was not ready within %1 s (a script of its own kept it busy)")
                  .arg(seconds);
        break;
    case Stage::grabbing: why = tr("the picture was not taken within %1 s").arg(seconds); break;
    }
    emit pageFailed(preset_, why, true);
    // Whatever is still under way is dropped; the page may be stuck in a script of its own,
    // so the next size gets a new one.
    ++step_;
    loadTimer_.stop();
    engine_.stop();
    engine_.abandonPage();
    const int owner = step_;
    engine_.whenReady([this, owner] {
        if (running_ && owner == step_) next();
    });
}

int BatchCapture::timeLeftMs() const {
    const int limit = steps_.timeoutMs > 0 ? steps_.timeoutMs : timing_.loadTimeoutMs;
    return int(std::max<qint64>(0, limit - pageClock_.elapsed()));
}

void BatchCapture::fail(const QString& reason, bool timedOut) {
    emit pageFailed(preset_, reason, timedOut);
    next();
}

void BatchCapture::waitForSelector(std::function<void()> done) {
    if (steps_.waitFor.isEmpty()) {
        done();
        return;
    }
    stage_ = Stage::waitingFor;
    const int owner = step_;
    engine_.evaluate(matchScript(steps_.waitFor), [this, owner, done](const QVariant& answer) {
        if (!running_ || owner != step_) return;
        const QString state = answer.toString();
        if (state == QLatin1String("found")) {
            done();
        } else if (state == QLatin1String("bad")) {
            fail(tr("'%1' is not a CSS selector").arg(steps_.waitFor));
        } else if (timeLeftMs() == 0) {
            const int limitMs = steps_.timeoutMs > 0 ? steps_.timeoutMs : timing_.loadTimeoutMs;
            fail(tr("nothing matched '%1' within %2 s")
                     .arg(steps_.waitFor, QString::number(limitMs / 1000.0)),
                 true);
        } else {
            later(timing_.pollMs, [this, done] { waitForSelector(done); });
        }
    });
}

void BatchCapture::applySteps(std::function<void()> done) {
    stage_ = Stage::scripting;
    const int owner = step_;
    const auto runScript = [this, owner, done] {
        if (steps_.script.isEmpty()) {
            done();
            return;
        }
        engine_.evaluateInPage(userScript(steps_.script), [this, owner, done](const QVariant& r) {
            if (!running_ || owner != step_) return;
            const QString result = r.toString();
            if (result == QLatin1String("done")) {
                done();
            } else if (result.startsWith(QLatin1String("error "))) {
                fail(tr("the script failed: %1").arg(result.mid(6)));
            } else {
                fail(tr("the script does not parse"));
            }
        });
    };
    if (steps_.hide.isEmpty()) {
        runScript();
        return;
    }
    engine_.evaluate(hideScript(steps_.hide), [this, owner, runScript](const QVariant& r) {
        if (!running_ || owner != step_) return;
        const QString result = r.toString();
        if (result.startsWith(QLatin1String("bad ")))
            fail(tr("'%1' is not a CSS selector").arg(result.mid(4)));
        else
            runScript();
    });
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
    checkOutcome([this] {
        later(timing_.settleMs,
              [this] { waitForSelector([this] { applySteps([this] { captureReady(); }); }); });
    });
}

void BatchCapture::checkOutcome(std::function<void()> then) {
    const int owner = step_;
    engine_.loadOutcome([this, owner, then](const CaptureEngine::LoadOutcome& outcome) {
        if (!running_ || owner != step_) return;
        // No page at all: the browser is gone.
        if (const QString gone = engine_.failure(); !gone.isEmpty()) {
            fail(gone);
            return;
        }
        if (!outcome.download.isEmpty()) {
            fail(tr("%1 is a download (%2), not a page").arg(url_.toDisplayString(), outcome.download));
            return;
        }
        if (!outcome.error.isEmpty()) {
            if (steps_.failOnLoadError) {
                fail(tr("the page did not load: %1").arg(outcome.error));
                return;
            }
            emit loadFailed(preset_, outcome.error);
        }
        if (outcome.httpStatus > 0) emit pageStatus(preset_, outcome.httpStatus);
        if (outcome.httpStatus >= 400 && steps_.failOnHttpError) {
            fail(tr("the server answered HTTP %1").arg(outcome.httpStatus));
            return;
        }
        then();
    });
}

void BatchCapture::captureReady() {
    stage_ = Stage::preparing;
    const int owner = step_;
    const int tallest = maxFullPageHeightAt(preset_.width, engine_.devicePixelRatio());
    const auto prepared = [this, tallest](std::function<void()> then) {
        runPageTask(prepareScript(fullPage_, timing_.prepareLimitMs, tallest), taskStateScript,
                    timing_.prepareLimitMs + 1000, [this, then = std::move(then)] {
                        later(steps_.delayMs, [this, then] {
                            stage_ = Stage::grabbing;
                            then();
                        });
                    });
    };
    if (fullPage_) {
        const auto measure = [this, owner] {
            engine_.evaluate(measureScript, [this, owner](const QVariant& result) {
                if (running_ && owner == step_) captureFullPage(result);
            });
        };
        // A page that scrolls inside an element is unrolled first, so that the scroll-through
        // and the measure see the element's whole content.
        engine_.evaluate(unrollScript, [this, owner, prepared, measure](const QVariant&) {
            if (!running_ || owner != step_) return;
            prepared([this, owner, measure] {
                if (engine_.grabsBeyondView()) {
                    measure();
                    return;
                }
                // Heights at the preset's size, before the view grows.
                engine_.evaluate(recordHeightsScript, [this, owner, measure](const QVariant&) {
                    if (running_ && owner == step_) measure();
                });
            });
        });
    } else if (visibleScrollY_ > 0) {
        engine_.evaluate(scrollScript(visibleScrollY_),
                         [this, owner, prepared](const QVariant&) {
                             if (running_ && owner == step_)
                                 later(timing_.scrollMs, [this, prepared] {
                                     prepared([this] { grabVisible(); });
                                 });
                         });
    } else {
        prepared([this] { grabVisible(); });
    }
}

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

void BatchCapture::teardown() {
    if (!running_) return;
    running_ = false;
    loadTimer_.stop();
    deadline_.stop();
    engine_.close();
}

} // namespace pintora
