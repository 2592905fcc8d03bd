#include "capture/ParallelCapture.h"

#include <algorithm>

namespace pintora {

ParallelCapture::ParallelCapture(EngineFactory makeEngine, int lanes, QObject* parent)
    : QObject(parent), makeEngine_(std::move(makeEngine)), lanes_(std::max(1, lanes)) {}

// The batches go before the engines they drive.
ParallelCapture::~ParallelCapture() {
    for (auto& lane : running_)
        lane->batch.reset();
}

void ParallelCapture::run(const QUrl& url, const QList<ViewportPreset>& presets, bool fullPage,
                          double visibleScrollY, BatchCapture::ProgressCallback onProgress,
                          SnapshotCallback onSnapshot,
                          BatchCapture::CompleteCallback onComplete) {
    url_ = url;
    presets_ = presets;
    fullPage_ = fullPage;
    visibleScrollY_ = visibleScrollY;
    next_ = 0;
    finished_ = 0;
    started_ = 0;
    onProgress_ = std::move(onProgress);
    onSnapshot_ = std::move(onSnapshot);
    onComplete_ = std::move(onComplete);
    if (presets_.isEmpty()) {
        if (auto complete = std::move(onComplete_)) complete();
        return;
    }
    const int lanes = std::min<int>(lanes_, int(presets_.size()));
    while (int(running_.size()) < lanes) {
        auto lane = std::make_unique<Lane>();
        lane->engine = makeEngine_();
        lane->batch = std::make_unique<BatchCapture>(*lane->engine);
        lane->batch->setTiming(timing_);
        connect(lane->batch.get(), &BatchCapture::pageCut, this, &ParallelCapture::pageCut);
        connect(lane->batch.get(), &BatchCapture::pageFailed, this,
                &ParallelCapture::pageFailed);
        connect(lane->batch.get(), &BatchCapture::loadFailed, this,
                &ParallelCapture::loadFailed);
        connect(lane->batch.get(), &BatchCapture::pageStatus, this,
                &ParallelCapture::pageStatus);
        running_.push_back(std::move(lane));
    }
    for (int i = 0; i < lanes; ++i)
        startNext(*running_[size_t(i)]);
}

void ParallelCapture::cancel() {
    next_ = int(presets_.size());
    for (const auto& lane : running_)
        lane->batch->cancel();
}

void ParallelCapture::startNext(Lane& lane) {
    if (next_ >= presets_.size()) return;
    const int index = next_++;
    ++started_;
    lane.batch->setTiming(timing_);
    lane.batch->setPageSteps(steps_);
    QElapsedTimer clock;
    clock.start();
    lane.batch->run(
        url_, {presets_[index]}, fullPage_, visibleScrollY_, {},
        [this, index, clock](const QImage& image, const ViewportPreset& preset) {
            if (onSnapshot_) onSnapshot_(index, image, preset, clock.elapsed());
        },
        [this, &lane] {
            ++finished_;
            if (onProgress_) onProgress_({finished_, int(presets_.size())});
            if (next_ >= presets_.size()) {
                if (finished_ < started_) return; // the other lanes are still at work
                onProgress_ = {};
                onSnapshot_ = {};
                if (auto complete = std::move(onComplete_)) complete();
                return;
            }
            startNext(lane);
        });
}

} // namespace pintora
