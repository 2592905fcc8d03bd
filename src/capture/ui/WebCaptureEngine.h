#pragma once

#include "capture/CaptureEngine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

class QWebEngineView;
class QWidget;

namespace pintora {

// The hidden view of a batch capture: a real web view in a host window that is shown, so the
// engine paints, yet never appears and never takes input.
class WebCaptureEngine : public QObject, public CaptureEngine {
    Q_OBJECT
public:
    explicit WebCaptureEngine(QObject* parent = nullptr);
    ~WebCaptureEngine() override;

    // Far outside every screen, where the host window lives.
    static constexpr int hostOrigin = -20000;

    void open(std::function<void(int)> onLoadEnded) override;
    void close() override;
    void resize(QSize points) override;
    void load(const QUrl& url, int loadId) override;
    void stop() override;
    void abandonPage() override;
    void loadOutcome(std::function<void(const LoadOutcome&)> done) override;
    void evaluate(const QString& script, std::function<void(const QVariant&)> done) override;
    void evaluateInPage(const QString& script,
                        std::function<void(const QVariant&)> done) override;
    void grab(std::function<void(const QImage&)> done) override;
    void expectFrame() override;
    void grabFresh(int timeLimitMs, std::function<void(const QImage&)> done) override;
    double devicePixelRatio() const override;
    int maxGrabHeight() const override { return maxGrabHeight_; }
    // Tests lower it to see tiles on short pages.
    void setMaxGrabHeight(int pixels) { maxGrabHeight_ = pixels; }

    QWidget* hostWindow() const { return host_; }
    QWebEngineView* view() const { return view_; }

private:
    void run(const QString& script, quint32 world, std::function<void(const QVariant&)> done);
    QImage grabNow(const QRect& rect = QRect()) const;
    // Replaces the bottom-left corner of a grab with the corner as it is painted now.
    void mendCorner(QImage& image) const;
    // Polls a 1-pixel grab of the bottom-left corner until `wanted` says yes or time runs out;
    // the first look comes after `delayMs`, at once by default: the frame may be there already.
    void pollCorner(std::function<bool(QRgb)> wanted, QElapsedTimer clock, int timeLimitMs,
                    std::function<void()> done, int delayMs = 0);

    QWidget* host_ = nullptr;
    QWebEngineView* view_ = nullptr;
    std::function<void(int)> onLoadEnded_;
    int loadId_ = 0;
    LoadOutcome outcome_; // of the load under way, as far as it has gone
    bool stopped_ = false;
    bool cutShort_ = false; // the load stopped, not by us: a download's answer may follow
    int maxGrabHeight_ = 16384;
    unsigned markerCount_ = 0;
    // The colour of the marker shown by `expectFrame`, until a grab has waited for it.
    std::optional<QRgb> expected_;
    // Callbacks of a closed host never reach the caller.
    std::shared_ptr<int> session_;
};

} // namespace pintora
