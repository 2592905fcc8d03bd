#pragma once

#include "capture/BatchCapture.h"

#include <memory>
#include <vector>

namespace pintora {

// Captures one address at several sizes at once: each lane is a hidden view of its own (the
// views share the browsing profile, so what one has fetched the others take from the cache)
// and takes the next size as soon as it is done, at most `lanes` at a time.
class ParallelCapture : public QObject {
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<CaptureEngine>()>;
    // `index` is the preset's place in the list given to `run`; pictures come as they are
    // taken, not in that order, each with the time from the start of its load.
    using SnapshotCallback = std::function<void(int index, const QImage&, const ViewportPreset&,
                                                qint64 elapsedMs)>;

    ParallelCapture(EngineFactory makeEngine, int lanes, QObject* parent = nullptr);
    ~ParallelCapture() override;

    void setTiming(const BatchCapture::Timing& timing) { timing_ = timing; }
    void setPageSteps(const BatchCapture::PageSteps& steps) { steps_ = steps; }

    // One run at a time; `onProgress` counts the sizes finished, `onComplete` is called once.
    void run(const QUrl& url, const QList<ViewportPreset>& presets, bool fullPage,
             double visibleScrollY, BatchCapture::ProgressCallback onProgress,
             SnapshotCallback onSnapshot, BatchCapture::CompleteCallback onComplete);

    // Ends the run at once: the sizes under way and those not begun give no picture, and
    // `onComplete` is called as for a run that ended.
    void cancel();

signals:
    void pageCut(const pintora::ViewportPreset& preset, double pageHeight, int cutAt);
    void pageFailed(const pintora::ViewportPreset& preset, const QString& reason, bool timedOut);
    void loadFailed(const pintora::ViewportPreset& preset, const QString& reason);
    void pageStatus(const pintora::ViewportPreset& preset, int httpStatus);

private:
    struct Lane {
        std::unique_ptr<CaptureEngine> engine;
        std::unique_ptr<BatchCapture> batch;
    };
    void startNext(Lane& lane);

    EngineFactory makeEngine_;
    int lanes_;
    BatchCapture::Timing timing_;
    BatchCapture::PageSteps steps_;
    std::vector<std::unique_ptr<Lane>> running_;
    QUrl url_;
    QList<ViewportPreset> presets_;
    bool fullPage_ = false;
    double visibleScrollY_ = 0;
    int next_ = 0;
    int started_ = 0;
    int finished_ = 0;
    BatchCapture::ProgressCallback onProgress_;
    SnapshotCallback onSnapshot_;
    BatchCapture::CompleteCallback onComplete_;
};

} // namespace pintora
