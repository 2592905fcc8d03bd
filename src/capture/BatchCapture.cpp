// A capture run's sequence: the sizes one after another, each one's load and time limits, and
// the end of the run.
#include "capture/BatchCapture.h"

#include "canvas/DecodedImageCache.h"
#include "capture/PageScripts.h"

#include <algorithm>
#include <cmath>

namespace pintora {

namespace {
// A size's whole time without a time-out of its own: every limit of its steps, and room for a
// big picture's grab.
int allowedMs(const BatchCapture::Timing& timing, const BatchCapture::PageSteps& steps) {
    if (steps.timeoutMs > 0) return steps.timeoutMs;
    return timing.loadTimeoutMs + timing.settleMs + timing.prepareLimitMs + 1000 +
           timing.fullPageMs + 2 * timing.frameTimeLimitMs + steps.delayMs + 10000;
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
    later(probeInterval(), [this] { probeQuiet(QString(), 0); });
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

void BatchCapture::teardown() {
    if (!running_) return;
    running_ = false;
    loadTimer_.stop();
    deadline_.stop();
    engine_.close();
}

} // namespace pintora
