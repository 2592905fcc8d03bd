#pragma once

#include "capture/CaptureEngine.h"
#include "capture/CaptureProgress.h"
#include "capture/ViewportPreset.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace pintora {

// Renders one address at a series of viewport sizes in a hidden view, one after the other,
// and hands back one picture per size with the preset it was taken at.
class BatchCapture : public QObject {
    Q_OBJECT
public:
    // The waits of a run; tests shorten them.
    struct Timing {
        int settleMs = 500;          // after a load ends: late layout, fonts, images
        int fullPageMs = 400;        // at least, after growing the view to the full height
        int scrollMs = 150;          // after scrolling to the user's offset
        int loadTimeoutMs = 60000;   // the engine has no request time-out of its own
        int frameTimeLimitMs = 3000; // waiting for a frame of the new size
        // Before the picture: lazy content brought in by scrolling through the page (full
        // page only), pictures in the captured area decoded and web fonts loaded, at most
        // this long; pages that are ready take no time of it.
        int prepareLimitMs = 6000;
        // A load whose document is parsed and whose network has been quiet this long counts
        // as ended, so one request that never answers cannot hold the capture.
        int quietMs = 3000;
        int pollMs = 40;       // how often a page task is asked whether it has finished
        int tileSettleMs = 80; // after scrolling to a tile: the page's scroll handlers run

        // No fixed waits: a picture is taken once the page says it is ready (loaded, pictures
        // decoded, fonts loaded) and a frame of its size has been painted.
        static Timing onReadiness() {
            Timing timing;
            timing.settleMs = 0;
            timing.fullPageMs = 0;
            timing.scrollMs = 0;
            return timing;
        }
    };

    // What a scripted capture asks of each page besides the readiness waits; nothing by default.
    struct PageSteps {
        QString waitFor;    // a CSS selector: the capture waits until an element matches it
        int timeoutMs = 0;  // above 0: a page not loaded, or not matched, by then fails
        QStringList hide;   // CSS selectors of elements hidden (visibility) before the capture
        QString script;     // run among the page's scripts before the capture
        QString clipTo;     // a CSS selector: only the first match's box is captured
        int delayMs = 0;    // an extra wait once the page is ready
        // A page that did not load (no answer, refused, a TLS error) gives no picture; by
        // default it is taken as the view shows it, and `loadFailed` says so.
        bool failOnLoadError = false;
        bool failOnHttpError = false; // a main document answered 400 or above gives none
    };

    // A page is never captured taller than this many points, so an endless page cannot
    // exhaust memory (1920 × 40,000 is about 300 MB of pixels).
    static constexpr int maxFullPageHeight = 40000;
    // The tallest full page, in points, of `width` points at `ratio` pixels a point: at most
    // `maxFullPageHeight`, and less where the picture would not decode within the program's
    // own limit (a 2x capture 1920 wide stops at 34,952).
    static int maxFullPageHeightAt(double width, double ratio);

    static inline const QString measureScript = QStringLiteral(
        "Math.max(document.body ? document.body.scrollHeight : 0, document.documentElement ? "
        "document.documentElement.scrollHeight : 0)");
    static QString scrollScript(double y);
    // What the user is told when a page was cut at `cutAt` points.
    static QString cutMessage(const ViewportPreset& preset, double pageHeight, int cutAt);

    explicit BatchCapture(CaptureEngine& engine, QObject* parent = nullptr);
    ~BatchCapture() override;

    void setTiming(const Timing& timing) { timing_ = timing; }
    const Timing& timing() const { return timing_; }
    void setPageSteps(const PageSteps& steps) { steps_ = steps; }
    bool isRunning() const { return running_; }

    using ProgressCallback = std::function<void(CaptureProgress)>;
    using SnapshotCallback = std::function<void(const QImage&, const ViewportPreset&)>;
    using CompleteCallback = std::function<void()>;

    // Ends the run under way at once: the size being taken and those after it give no
    // picture, and `onComplete` is called as for a run that ended.
    void cancel();

    // One run at a time (the caller's duty); `onComplete` is called exactly once.
    void run(const QUrl& url, const QList<ViewportPreset>& presets, bool fullPage,
             double visibleScrollY, ProgressCallback onProgress, SnapshotCallback onSnapshot,
             CompleteCallback onComplete);

signals:
    // A full-page capture of `preset` kept only the top `cutAt` points of a page `pageHeight`
    // points tall.
    void pageCut(const pintora::ViewportPreset& preset, double pageHeight, int cutAt);
    // No picture of `preset`: `reason` says why; `timedOut` when the page's time ran out.
    void pageFailed(const pintora::ViewportPreset& preset, const QString& reason, bool timedOut);
    // The page of `preset` did not load (`reason`), and is taken as the view shows it.
    void loadFailed(const pintora::ViewportPreset& preset, const QString& reason);
    // The main document of `preset`'s page answered with this HTTP status.
    void pageStatus(const pintora::ViewportPreset& preset, int httpStatus);

private:
    void next();
    void loadEnded(int loadId);
    void loadTimedOut();
    // The size's whole time is up, whatever step it is in: it fails, and its page is given up.
    void deadlinePassed();
    void afterLoad();
    // What the engine says of the load: a download, an error or an HTTP status.
    void checkOutcome(std::function<void()> then);
    // The page steps, in order: the selector waited for, hiding, the user's script.
    void waitForSelector(std::function<void()> done);
    void applySteps(std::function<void()> done);
    void captureReady();
    void fail(const QString& reason, bool timedOut = false);
    // The time left of the page's time-out (or of the load limit without one).
    int timeLeftMs() const;
    // Asks the page every `quietMs` / 4 whether it is parsed and its network quiet.
    int probeInterval() const;
    void probeQuiet(QString last, int quietFor);
    // Starts a page task (a script that answers "running" and later sets its state in the
    // page) and calls `done` once it has finished, failed to start, or run out of time.
    void runPageTask(const QString& start, const QString& poll, int limitMs,
                     std::function<void()> done);
    void pollPageTask(const QString& poll, QElapsedTimer clock, int limitMs,
                      std::function<void()> done);
    // Lays the page out as at the preset's height after the view was made `viewHeight` tall.
    void pinHeights(int viewHeight, std::function<void()> done);
    void grabVisible();
    void captureFullPage(const QVariant& measured);
    void captureTiles(int fullHeight);
    void grabTile(int top);
    void deliver(const QImage& image);
    void hand(const QImage& image);
    void teardown();
    // Runs `step` after `ms` unless the preset it belongs to is over by then.
    void later(int ms, std::function<void()> step);
    std::function<void(const QImage&)> deliverer();

    CaptureEngine& engine_;
    Timing timing_;
    PageSteps steps_;
    bool running_ = false;
    QUrl url_;
    QList<ViewportPreset> queue_;
    int total_ = 0;
    bool fullPage_ = false;
    double visibleScrollY_ = 0;
    ProgressCallback onProgress_;
    SnapshotCallback onSnapshot_;
    CompleteCallback onComplete_;

    ViewportPreset preset_;
    int loadId_ = 0;
    bool loadEnded_ = false;
    // Each preset's steps carry its number; a step of a finished preset is dropped.
    int step_ = 0;
    QTimer loadTimer_;
    QTimer deadline_;
    // What the size is doing, for the message when its time runs out.
    enum class Stage { loading, waitingFor, scripting, preparing, grabbing } stage_{};
    QElapsedTimer pageClock_; // from the start of this preset's load
    QImage stitched_;
    int tileHeight_ = 0;
    int stitchHeight_ = 0;
};

} // namespace pintora
