#include "capture/ui/WebCaptureEngine.h"

#include "platform/ui/DisplayServer.h"
#include "platform/ui/WebProfile.h"

#include <QPainter>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>
#include <cstdlib>

namespace pintora {

namespace {
constexpr int pollMs = 8;
const QString markerId = QStringLiteral("__pintora_frame_marker");

// Vivid colours, each far from the one before, so a stale frame never passes for a new one.
QRgb markerColor(unsigned count) {
    static const QRgb colours[] = {qRgb(255, 0, 212), qRgb(0, 238, 255), qRgb(255, 221, 0),
                                   qRgb(17, 255, 68), qRgb(255, 85, 0),  qRgb(68, 0, 255)};
    return colours[count % std::size(colours)];
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
           std::abs(qBlue(a) - qBlue(b)) <= 3;
}

QString showMarkerScript(QRgb colour) {
    return QStringLiteral("(function(){var m=document.getElementById('%1');"
                          "if(!m){m=document.createElement('div');m.id='%1';"
                          "(document.body||document.documentElement).appendChild(m);}"
                          "m.style.cssText='position:fixed;left:0;bottom:0;width:1px;height:1px;"
                          "z-index:2147483647;pointer-events:none;margin:0;padding:0;border:0;"
                          "background:rgb(%2,%3,%4)';})()")
        .arg(markerId)
        .arg(qRed(colour))
        .arg(qGreen(colour))
        .arg(qBlue(colour));
}

// The page of the hidden view: nobody is there to answer a dialog, so none is shown and none
// can hold the capture; confirm and prompt read as cancelled, alerts as seen, and popups and
// "leave this page?" prompts are refused.
class CapturePage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

QString removeMarkerScript() {
    return QStringLiteral("(function(){var m=document.getElementById('%1');if(m)m.remove();})()")
        .arg(markerId);
}
} // namespace

WebCaptureEngine::WebCaptureEngine(QObject* parent) : QObject(parent) {}

WebCaptureEngine::~WebCaptureEngine() {
    close();
}

void WebCaptureEngine::open(std::function<void(int)> onLoadEnded) {
    close();
    session_ = std::make_shared<int>(0);
    onLoadEnded_ = std::move(onLoadEnded);
    // A frameless tool window that the window manager never sees, input passes through, and
    // that is fully transparent and far off screen: shown, so the engine paints, never seen.
    host_ =
        new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                                 Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    host_->setAttribute(Qt::WA_ShowWithoutActivating);
    host_->setAttribute(Qt::WA_TranslucentBackground);
    host_->setWindowOpacity(0);
    host_->setFocusPolicy(Qt::NoFocus);
    host_->setGeometry(hostOrigin, hostOrigin, 1024, 768);
    // A Wayland client can neither place a window off screen nor keep the desktop from showing
    // it: there the host is never put on screen at all, and the engine paints all the same.
    if (onWayland()) host_->setAttribute(Qt::WA_DontShowOnScreen);
    view_ = new QWebEngineView(host_);
    auto* page = new CapturePage(webProfile(), view_);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // The page gets the preset's whole width, as on a phone: no scrollbar takes 15 points.
    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    view_->setPage(page);
    view_->setGeometry(0, 0, 1024, 768);
    view_->setFocusPolicy(Qt::NoFocus);
    // The end of a load is taken from its loading report, which alone says how it went.
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
        cutShort_ = info.status() == QWebEngineLoadingInfo::LoadStoppedStatus && !stopped_;
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            // The engine counts an HTTP error status as a failed load, though its page shows.
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
                outcome_.httpStatus = info.errorCode();
            else if (!stopped_ && outcome_.error.isEmpty())
                outcome_.error = info.errorString().isEmpty() ? tr("error %1").arg(info.errorCode())
                                                              : info.errorString();
        }
        if (onLoadEnded_) onLoadEnded_(loadId_);
    });
    // A download is not a page: it is refused, and its name kept for the reason.
    connect(webProfile(), &QWebEngineProfile::downloadRequested, view_,
            [this, page](QWebEngineDownloadRequest* download) {
                if (download->page() != page) return;
                outcome_.download = download->suggestedFileName();
                if (outcome_.download.isEmpty()) outcome_.download = download->url().fileName();
                download->cancel();
            });
    host_->show();
}

void WebCaptureEngine::close() {
    session_.reset();
    expected_.reset();
    onLoadEnded_ = {};
    if (view_) {
        view_->disconnect(this);
        // The page goes before the view, as the engine wants.
        delete view_->page();
    }
    delete host_;
    host_ = nullptr;
    view_ = nullptr;
}

void WebCaptureEngine::resize(QSize points) {
    if (!host_) return;
    host_->setGeometry(hostOrigin, hostOrigin, points.width(), points.height());
    view_->setGeometry(0, 0, points.width(), points.height());
}

void WebCaptureEngine::load(const QUrl& url, int loadId) {
    if (!view_) return;
    loadId_ = loadId;
    outcome_ = {};
    stopped_ = false;
    cutShort_ = false;
    view_->load(url);
}

void WebCaptureEngine::loadOutcome(std::function<void(const LoadOutcome&)> done) {
    if (!cutShort_ || !outcome_.download.isEmpty()) {
        done(outcome_);
        return;
    }
    // A load that turned into a download stops first; the download is announced after.
    std::weak_ptr<int> session = session_;
    QTimer::singleShot(300, this, [this, session, done = std::move(done)] {
        if (!session.expired()) done(outcome_);
    });
}

void WebCaptureEngine::stop() {
    stopped_ = true;
    if (view_) view_->stop();
}

void WebCaptureEngine::abandonPage() {
    // A new host and view; the page's renderer goes with the page when no other page uses it.
    if (host_) open(std::move(onLoadEnded_));
}

void WebCaptureEngine::evaluate(const QString& script, std::function<void(const QVariant&)> done) {
    // A world of its own: the page's scripts neither see nor change what ours do.
    run(script, QWebEngineScript::ApplicationWorld, std::move(done));
}

void WebCaptureEngine::evaluateInPage(const QString& script,
                                      std::function<void(const QVariant&)> done) {
    run(script, QWebEngineScript::MainWorld, std::move(done));
}

void WebCaptureEngine::run(const QString& script, quint32 world,
                           std::function<void(const QVariant&)> done) {
    if (!view_) {
        QTimer::singleShot(0, this, [done] { done(QVariant()); });
        return;
    }
    std::weak_ptr<int> session = session_;
    view_->page()->runJavaScript(script, world, [session, done](const QVariant& result) {
        if (!session.expired()) done(result);
    });
}

QImage WebCaptureEngine::grabNow(const QRect& rect) const {
    if (!view_) return QImage();
    return view_->grab(rect.isNull() ? QRect(QPoint(0, 0), view_->size()) : rect).toImage();
}

void WebCaptureEngine::grab(std::function<void(const QImage&)> done) {
    std::weak_ptr<int> session = session_;
    QTimer::singleShot(0, this, [this, session, done] {
        if (!session.expired()) done(grabNow());
    });
}

void WebCaptureEngine::pollCorner(std::function<bool(QRgb)> wanted, QElapsedTimer clock,
                                  int timeLimitMs, std::function<void()> done, int delayMs) {
    std::weak_ptr<int> session = session_;
    QTimer::singleShot(delayMs, this, [=, this] {
        if (session.expired()) return;
        const QImage corner = grabNow(QRect(0, view_->height() - 1, 1, 1));
        const bool seen = !corner.isNull() && wanted(corner.pixel(0, corner.height() - 1));
        if (seen || clock.elapsed() >= timeLimitMs)
            done();
        else
            pollCorner(wanted, clock, timeLimitMs, done, pollMs);
    });
}

void WebCaptureEngine::expectFrame() {
    if (!view_) return;
    // A marker of a fresh colour in the bottom-left corner shows once a frame of the current
    // size has been painted.
    expected_ = markerColor(markerCount_++);
    evaluate(showMarkerScript(*expected_), [](const QVariant&) {});
}

void WebCaptureEngine::grabFresh(int timeLimitMs, std::function<void(const QImage&)> done) {
    if (!view_) {
        grab(std::move(done));
        return;
    }
    if (!expected_) expectFrame();
    const QRgb colour = *expected_;
    expected_.reset();
    QElapsedTimer clock;
    clock.start();
    // Scripts run in order: once this one answers, the marker has been placed.
    evaluate(QStringLiteral("0"), [=, this](const QVariant&) {
        pollCorner([colour](QRgb pixel) { return near(pixel, colour); }, clock, timeLimitMs,
                   [=, this] {
                       // This frame has the new size; only its corner still shows the marker,
                       // and is mended from a grab of the corner once the marker is gone.
                       auto image = std::make_shared<QImage>(grabNow());
                       evaluate(removeMarkerScript(), [=, this](const QVariant&) {
                           QElapsedTimer again;
                           again.start();
                           pollCorner([colour](QRgb pixel) { return !near(pixel, colour); }, again,
                                      timeLimitMs,
                                      [this, image, done] {
                                          mendCorner(*image);
                                          done(*image);
                                      });
                       });
                   });
    });
}

void WebCaptureEngine::mendCorner(QImage& image) const {
    QImage corner = grabNow(QRect(0, view_->height() - 1, 1, 1));
    if (image.isNull() || corner.isNull()) return;
    const double ratio = image.devicePixelRatio();
    image.setDevicePixelRatio(1);
    corner.setDevicePixelRatio(1);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, image.height() - corner.height()), corner);
    painter.end();
    image.setDevicePixelRatio(ratio);
}

double WebCaptureEngine::devicePixelRatio() const {
    return host_ ? host_->devicePixelRatioF() : 1;
}

} // namespace pintora
