#pragma once

#include "capture/CaptureEngine.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <memory>

namespace pintora {

class ChromiumBrowser;

// A capture view on a Chromium-family browser: a page target of its own, in a browser context
// of its own, driven over the DevTools protocol. Pages see the preset's size through the
// browser's own device metrics, and a full page is taken beyond the view without growing it.
class ChromiumEngine : public QObject, public CaptureEngine {
    Q_OBJECT
public:
    struct Options {
        double scale = 1;    // device pixels per point
        QString colorScheme; // "light" or "dark" for prefers-color-scheme; empty: the page's
        // The cookies given to the page's context before each run, as the protocol's
        // `Network.CookieParam` objects.
        std::function<QJsonArray()> cookies;
    };

    ChromiumEngine(std::shared_ptr<ChromiumBrowser> browser, Options options,
                            QObject* parent = nullptr);
    ~ChromiumEngine() override;

    void open(std::function<void(int)> onLoadEnded) override;
    void whenReady(std::function<void()> ready) override;
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
    // A screenshot is always of a frame with every change made so far.
    void expectFrame() override {}
    void grabFresh(int, std::function<void(const QImage&)> done) override { grab(std::move(done)); }
    double devicePixelRatio() const override { return options_.scale; }
    int maxGrabHeight() const override { return 1 << 30; }
    bool grabsBeyondView() const override { return true; }
    void grabPage(QSize points, std::function<void(const QImage&)> done) override;
    QString failure() const override;

    // The tallest part of a page, in device pixels, taken in one screenshot; taller pages are
    // taken in parts and joined. Tests lower it to see parts on short pages.
    void setMaxShotHeight(int pixels) { maxShotHeight_ = pixels; }

private:
    using Reply = std::function<void(const QJsonObject&, const QString&)>;
    // Runs `step` once the page target is attached (at once when it is).
    void whenAttached(std::function<void()> step);
    void attach();
    void attached(const QString& error);
    void flush();
    // A command to the page; its reply is dropped once the run it belongs to is closed.
    void command(const QString& method, const QJsonObject& params, Reply reply = {});
    // The same with parameters made once the page is attached (they may name it).
    void command(const QString& method, std::function<QJsonObject()> makeParams, Reply reply);
    void onEvent(const QString& method, const QJsonObject& params);
    void run(const QString& script, bool ownWorld, std::function<void(const QVariant&)> done);
    void shoot(const QRect& clip, std::function<void(const QImage&)> done);
    void navigate(const QUrl& url, int loadId, bool firstTry);
    void reportLoad();
    void applyMetrics();

    std::shared_ptr<ChromiumBrowser> browser_;
    Options options_;
    QString context_;
    QString target_;
    QString session_;
    bool attaching_ = false;
    QString attachError_;
    QList<std::function<void()>> queued_;
    // Replies of a closed run never reach the caller; those of the browser never reach an engine
    // that is gone.
    std::shared_ptr<int> token_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::function<void(int)> onLoadEnded_;
    QJsonArray cookies_; // of the run opened
    int loadId_ = 0;
    QString loader_;
    bool loadReported_ = true;
    bool stopped_ = false; // the load was stopped here, not cut short by the page
    QString loadError_;    // the browser's error for the load, as it answered the navigation
    bool download_ = false;
    QString downloadName_; // the download's file name, from its address
    QSet<QString> loaded_; // loaders whose document has fired its load event
    QSize size_{1024, 768};
    int maxShotHeight_ = 32768;
};

} // namespace pintora
