#include "capture/ChromiumEngine.h"

#include "canvas/DecodedImageCache.h"
#include "capture/ChromiumBrowser.h"
#include "capture/ScreenshotPng.h"
#include "model/Base64.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace pintora {

namespace {
const QString worldName = QStringLiteral("pintora");

// Runs on a worker: the Base64 and PNG decoding of a tall page take a good part of a second.
QImage decodeShot(const QByteArray& base64, double scale) {
    QByteArray png;
    if (!decodeBase64JsonText(base64.constData(), base64.constData() + base64.size(), png))
        return QImage();
    QImage image = decodePicture(png);
    if (image.isNull()) return image;
    image.setDevicePixelRatio(scale);
    // Stored as the browser encoded it, unless it is cut or joined on the way.
    rememberScreenshotPng(image, png);
    return image;
}

QVariant valueOf(const QJsonObject& result, const QString& error) {
    if (!error.isEmpty() || result.contains(QLatin1String("exceptionDetails"))) return QVariant();
    const QJsonObject remote = result.value(QLatin1String("result")).toObject();
    if (!remote.contains(QLatin1String("value"))) return QVariant(); // undefined, a function...
    return remote.value(QLatin1String("value")).toVariant();
}
} // namespace

ChromiumEngine::ChromiumEngine(std::shared_ptr<ChromiumBrowser> browser, Options options,
                               QObject* parent)
    : QObject(parent), browser_(std::move(browser)), options_(std::move(options)) {
    // A load waited for ends with the browser; every later command fails at once.
    connect(browser_.get(), &ChromiumBrowser::lost, this, [this] { reportLoad(); });
    // A browser started again knows nothing of this page: the next command attaches anew.
    connect(browser_.get(), &ChromiumBrowser::closed, this, [this] {
        reportLoad();
        context_.clear();
        target_.clear();
        session_.clear();
        attachError_.clear();
        attaching_ = false;
    });
}

ChromiumEngine::~ChromiumEngine() {
    // The browser may go with this engine; its last words must not reach a half-gone one.
    browser_->disconnect(this);
    close();
    if (!session_.isEmpty()) browser_->unlisten(session_);
    // Its page goes with it.
    if (!context_.isEmpty() && browser_->failure().isEmpty())
        browser_->send(QStringLiteral("Target.disposeBrowserContext"),
                       {{QStringLiteral("browserContextId"), context_}}, QString());
}

QString ChromiumEngine::failure() const {
    return browser_->failure().isEmpty() ? attachError_ : browser_->failure();
}

void ChromiumEngine::open(std::function<void(int)> onLoadEnded) {
    close();
    token_ = std::make_shared<int>(0);
    onLoadEnded_ = std::move(onLoadEnded);
    // Before each run: what the user's browser knows by now.
    cookies_ = options_.cookies ? options_.cookies() : QJsonArray();
}

void ChromiumEngine::whenReady(std::function<void()> ready) {
    std::weak_ptr<int> token = token_;
    whenAttached([this, token, ready = std::move(ready)] {
        if (token.expired()) return;
        if (cookies_.isEmpty() || context_.isEmpty()) {
            ready();
            return;
        }
        // The first load goes once the cookies are in, so that it is sent with them.
        browser_->send(QStringLiteral("Storage.setCookies"),
                       {{QStringLiteral("cookies"), cookies_},
                        {QStringLiteral("browserContextId"), context_}},
                       QString(), [token, ready](const QJsonObject&, const QString&) {
                           if (!token.expired()) ready();
                       });
    });
}

void ChromiumEngine::close() {
    if (!token_) return;
    token_.reset();
    onLoadEnded_ = {};
    loadReported_ = true;
}

void ChromiumEngine::whenAttached(std::function<void()> step) {
    if ((!session_.isEmpty() || !attachError_.isEmpty()) && !attaching_) {
        step();
        return;
    }
    queued_ << std::move(step);
    if (!attaching_) attach();
}

void ChromiumEngine::attach() {
    attaching_ = true;
    browser_->start([this, alive = std::weak_ptr(alive_)](const QString& error) {
        if (alive.expired()) return;
        if (!error.isEmpty()) {
            attached(error);
            return;
        }
        browser_->send(
            QStringLiteral("Target.createBrowserContext"),
            {{QStringLiteral("disposeOnDetach"), true}}, QString(),
            [this, alive = std::weak_ptr(alive_)](const QJsonObject& result, const QString& error) {
                if (alive.expired()) return;
                if (!error.isEmpty()) return attached(error);
                context_ = result.value(QLatin1String("browserContextId")).toString();
                // A download is not a page: nothing is saved.
                browser_->send(QStringLiteral("Browser.setDownloadBehavior"),
                               {{QStringLiteral("behavior"), QStringLiteral("deny")},
                                {QStringLiteral("browserContextId"), context_},
                                {QStringLiteral("eventsEnabled"), true}},
                               QString());
                browser_->send(
                    QStringLiteral("Target.createTarget"),
                    {{QStringLiteral("url"), QStringLiteral("about:blank")},
                     {QStringLiteral("browserContextId"), context_}},
                    QString(), [this, alive = std::weak_ptr(alive_)](const QJsonObject& result,
                                                                     const QString& error) {
                        if (alive.expired()) return;
                        if (!error.isEmpty()) return attached(error);
                        target_ = result.value(QLatin1String("targetId")).toString();
                        browser_->send(QStringLiteral("Target.attachToTarget"),
                                       {{QStringLiteral("targetId"), target_},
                                        {QStringLiteral("flatten"), true}},
                                       QString(),
                                       [this, alive = std::weak_ptr(alive_)](
                                           const QJsonObject& result, const QString& error) {
                                           if (alive.expired()) return;
                                           session_ = result.value(QLatin1String("sessionId"))
                                                          .toString();
                                           attached(error);
                                       });
                    });
            });
    });
}

void ChromiumEngine::attached(const QString& error) {
    if (!error.isEmpty() || session_.isEmpty()) {
        attachError_ = error.isEmpty() ? tr("the browser gave no page") : error;
        session_.clear();
    } else {
        browser_->listen(session_, [this](const QString& method, const QJsonObject& params) {
            onEvent(method, params);
        });
        // Commands on one session run in order: these come before anything queued.
        browser_->send(QStringLiteral("Page.enable"), {}, session_);
        browser_->send(QStringLiteral("Page.setLifecycleEventsEnabled"),
                       {{QStringLiteral("enabled"), true}}, session_);
        browser_->send(QStringLiteral("Emulation.setScrollbarsHidden"),
                       {{QStringLiteral("hidden"), true}}, session_);
        if (!options_.colorScheme.isEmpty()) {
            const QJsonArray features{QJsonObject{
                {QStringLiteral("name"), QStringLiteral("prefers-color-scheme")},
                {QStringLiteral("value"), options_.colorScheme}}};
            browser_->send(QStringLiteral("Emulation.setEmulatedMedia"),
                           {{QStringLiteral("features"), features}}, session_);
        }
        applyMetrics();
    }
    flush();
}

void ChromiumEngine::flush() {
    attaching_ = false;
    const auto queued = std::exchange(queued_, {});
    for (const auto& step : queued)
        step();
}

void ChromiumEngine::command(const QString& method, const QJsonObject& params, Reply reply) {
    command(method, std::function<QJsonObject()>([params] { return params; }), std::move(reply));
}

void ChromiumEngine::command(const QString& method, std::function<QJsonObject()> makeParams,
                             Reply reply) {
    std::weak_ptr<int> token = token_;
    whenAttached([this, method, makeParams, token, reply = std::move(reply)] {
        const QJsonObject params = makeParams();
        const auto answer = [token, reply](const QJsonObject& result, const QString& error) {
            if (reply && !token.expired()) reply(result, error);
        };
        if (session_.isEmpty()) {
            // No page to send it to: answered as failed, later, as the browser would.
            const QString why = failure();
            QTimer::singleShot(0, this, [answer, why] { answer({}, why); });
            return;
        }
        browser_->send(method, params, session_, answer);
    });
}

void ChromiumEngine::onEvent(const QString& method, const QJsonObject& params) {
    if (method == QLatin1String("Page.lifecycleEvent")) {
        if (params.value(QLatin1String("frameId")).toString() != target_ ||
            params.value(QLatin1String("name")).toString() != QLatin1String("load")) {
            return;
        }
        const QString loader = params.value(QLatin1String("loaderId")).toString();
        loaded_.insert(loader);
        if (loader == loader_) reportLoad();
    } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
        // Nobody is there to answer: alerts read as seen, confirm and prompt as cancelled, and
        // "leave this page?" lets the capture go on.
        const QString type = params.value(QLatin1String("type")).toString();
        browser_->send(QStringLiteral("Page.handleJavaScriptDialog"),
                       {{QStringLiteral("accept"), type == QLatin1String("alert") ||
                                                       type == QLatin1String("beforeunload")}},
                       session_);
    }
}

void ChromiumEngine::reportLoad() {
    if (loadReported_) return;
    loadReported_ = true;
    if (onLoadEnded_) onLoadEnded_(loadId_);
}

void ChromiumEngine::applyMetrics() {
    if (session_.isEmpty()) return;
    browser_->send(QStringLiteral("Emulation.setDeviceMetricsOverride"),
                   {{QStringLiteral("width"), size_.width()},
                    {QStringLiteral("height"), size_.height()},
                    {QStringLiteral("deviceScaleFactor"), options_.scale},
                    {QStringLiteral("mobile"), false}},
                   session_);
}

void ChromiumEngine::resize(QSize points) {
    size_ = points;
    whenAttached([this] { applyMetrics(); });
}

void ChromiumEngine::load(const QUrl& url, int loadId) {
    loadId_ = loadId;
    stopped_ = false;
    loader_.clear();
    loadReported_ = false;
    loadError_.clear();
    download_ = false;
    navigate(url, loadId, true);
}

void ChromiumEngine::navigate(const QUrl& url, int loadId, bool firstTry) {
    command(QStringLiteral("Page.navigate"),
            {{QStringLiteral("url"), QString::fromUtf8(url.toEncoded())}},
            [this, url, loadId, firstTry](const QJsonObject& result, const QString& error) {
                if (loadId != loadId_) return;
                // A new page's own first load of about:blank can commit late and cut the first
                // load short; it is tried once more.
                if (firstTry && !stopped_ && !result.value(QLatin1String("isDownload")).toBool() &&
                    result.value(QLatin1String("errorText")).toString() ==
                        QLatin1String("net::ERR_ABORTED")) {
                    navigate(url, loadId, false);
                    return;
                }
                loader_ = result.value(QLatin1String("loaderId")).toString();
                loadError_ = error.isEmpty() ? result.value(QLatin1String("errorText")).toString()
                                             : error;
                // With downloads denied the browser announces none: the address names it.
                download_ = result.value(QLatin1String("isDownload")).toBool();
                if (download_) downloadName_ = url.fileName();
                // A failed navigation, or one within the same document, ends here.
                if (!error.isEmpty() || result.contains(QLatin1String("errorText")) ||
                    loader_.isEmpty() || loaded_.contains(loader_)) {
                    reportLoad();
                }
            });
}

void ChromiumEngine::stop() {
    stopped_ = true;
    command(QStringLiteral("Page.stopLoading"), {});
}

void ChromiumEngine::abandonPage() {
    if (session_.isEmpty() || attaching_) return;
    browser_->unlisten(session_);
    // Its renderer goes with its context; the next command attaches a new page.
    browser_->send(QStringLiteral("Target.disposeBrowserContext"),
                   {{QStringLiteral("browserContextId"), context_}}, QString());
    session_.clear();
    target_.clear();
    context_.clear();
    loaded_.clear();
}

void ChromiumEngine::loadOutcome(std::function<void(const LoadOutcome&)> done) {
    if (download_) {
        done({QString(), 0, downloadName_.isEmpty() ? tr("no name") : downloadName_});
        return;
    }
    if (!loadError_.isEmpty() && !stopped_) {
        done({loadError_, 0, QString()});
        return;
    }
    // The main document's status, as the page's own timing tells it (0 for a file).
    run(QStringLiteral("(function(){var e=performance.getEntriesByType('navigation')[0];"
                       "return e&&e.responseStatus?e.responseStatus:0;})()"),
        true, [done](const QVariant& status) { done({QString(), status.toInt(), QString()}); });
}

void ChromiumEngine::evaluate(const QString& script, std::function<void(const QVariant&)> done) {
    run(script, true, std::move(done));
}

void ChromiumEngine::evaluateInPage(const QString& script,
                                    std::function<void(const QVariant&)> done) {
    run(script, false, std::move(done));
}

void ChromiumEngine::run(const QString& script, bool ownWorld,
                         std::function<void(const QVariant&)> done) {
    const auto evaluateIn = [this, script, done](int context) {
        QJsonObject params{{QStringLiteral("expression"), script},
                           {QStringLiteral("returnByValue"), true}};
        if (context > 0) params.insert(QStringLiteral("contextId"), context);
        command(QStringLiteral("Runtime.evaluate"), params,
                [done](const QJsonObject& result, const QString& error) {
                    if (done) done(valueOf(result, error));
                });
    };
    if (!ownWorld) {
        evaluateIn(0);
        return;
    }
    // A world of its own, the same one for every script of a document: the browser keeps one
    // world per name and frame, so asking again costs a round trip and no state.
    command(QStringLiteral("Page.createIsolatedWorld"),
            std::function<QJsonObject()>([this] {
                return QJsonObject{{QStringLiteral("frameId"), target_},
                                   {QStringLiteral("worldName"), worldName}};
            }),
            [evaluateIn, done](const QJsonObject& result, const QString& error) {
                const int context = result.value(QLatin1String("executionContextId")).toInt();
                if (!error.isEmpty() || context <= 0) {
                    if (done) done(QVariant());
                    return;
                }
                evaluateIn(context);
            });
}

void ChromiumEngine::shoot(const QRect& clip, std::function<void(const QImage&)> done) {
    QJsonObject params{{QStringLiteral("format"), QStringLiteral("png")},
                       {QStringLiteral("optimizeForSpeed"), true}};
    if (!clip.isNull()) {
        params.insert(QStringLiteral("captureBeyondViewport"), true);
        params.insert(QStringLiteral("clip"),
                      QJsonObject{{QStringLiteral("x"), clip.x()},
                                  {QStringLiteral("y"), clip.y()},
                                  {QStringLiteral("width"), clip.width()},
                                  {QStringLiteral("height"), clip.height()},
                                  {QStringLiteral("scale"), 1}});
    }
    const double scale = options_.scale;
    std::weak_ptr<int> token = token_;
    whenAttached([this, params, scale, token, done] {
        if (token.expired()) return;
        if (session_.isEmpty()) {
            QTimer::singleShot(0, this, [done, token] {
                if (!token.expired()) done(QImage());
            });
            return;
        }
        browser_->sendForData(
            QStringLiteral("Page.captureScreenshot"), params, session_,
            [this, scale, token, done](const QJsonObject&, const QString& error) {
                if (token.expired()) return;
                if (!error.isEmpty()) {
                    done(QImage());
                    return;
                }
                // Decoded beside the event loop, which goes on serving the other lanes.
                QThreadPool::globalInstance()->start(
                    [data = browser_->replyData(), scale, token, done] {
                        const QImage image = decodeShot(data, scale);
                        QMetaObject::invokeMethod(
                            QCoreApplication::instance(),
                            [image, token, done] {
                                if (!token.expired()) done(image);
                            },
                            Qt::QueuedConnection);
                    });
            });
    });
}

void ChromiumEngine::grab(std::function<void(const QImage&)> done) {
    shoot(QRect(), std::move(done));
}

void ChromiumEngine::grabPage(QSize points, std::function<void(const QImage&)> done) {
    const double scale = options_.scale;
    const int part = std::max(1, int(std::floor(maxShotHeight_ / scale)));
    if (points.height() <= part) {
        shoot(QRect(QPoint(0, 0), points), std::move(done));
        return;
    }
    // Parts of the page taken one after the other, each copied into place.
    auto whole = std::make_shared<QImage>(int(std::ceil(points.width() * scale)),
                                          int(std::ceil(points.height() * scale)),
                                          QImage::Format_RGB32);
    if (whole->isNull()) {
        done(QImage());
        return;
    }
    // Each part's reply holds the chain; a reply dropped with a closed run frees it all.
    auto next = std::make_shared<std::function<void(int)>>();
    *next = [this, whole, chain = std::weak_ptr(next), points, part, scale, done](int top) {
        const int height = std::min(part, points.height() - top);
        shoot(QRect(0, top, points.width(), height),
              [whole, next = chain.lock(), points, part, scale, done, top,
               height](const QImage& shot) {
                  if (shot.isNull()) {
                      done(QImage());
                      return;
                  }
                  QPainter painter(whole.get());
                  QImage pixels = shot;
                  pixels.setDevicePixelRatio(1);
                  painter.drawImage(QPoint(0, int(std::lround(top * scale))), pixels);
                  painter.end();
                  if (top + height < points.height()) {
                      (*next)(top + part);
                      return;
                  }
                  whole->setDevicePixelRatio(scale);
                  done(std::exchange(*whole, QImage()));
              });
    };
    (*next)(0);
}

} // namespace pintora
