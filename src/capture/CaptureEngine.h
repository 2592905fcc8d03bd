#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <functional>

namespace pintora {

// The hidden web view a batch capture drives. The web-engine adapter implements it; tests
// put a scripted fake in its place.
class CaptureEngine {
public:
    // How a load ended, as far as the engine can tell.
    struct LoadOutcome {
        QString error;      // why the page did not load ("net::ERR_CONNECTION_REFUSED")
        int httpStatus = 0; // the main document's HTTP status; 0 when not known
        QString download;   // the file's name, when the address answered with a download
    };

    virtual ~CaptureEngine() = default;

    // Makes the hidden host; every end of a load (finished or failed) is reported to
    // `onLoadEnded` with the id given to `load`.
    virtual void open(std::function<void(int loadId)> onLoadEnded) = 0;
    // Calls `ready` once the engine opened can take a load: at once, or when a browser it
    // starts has answered, so that its start counts against no page's time.
    virtual void whenReady(std::function<void()> ready) { ready(); }
    virtual void close() = 0;
    // The view and its host take exactly this size in points.
    virtual void resize(QSize points) = 0;
    virtual void load(const QUrl& url, int loadId) = 0;
    // Stops the load; a load stopped here reports no error of its own.
    virtual void stop() = 0;
    // The page stopped answering (a script that never ends): it is given up, and the next
    // load goes to a new one.
    virtual void abandonPage() {}
    // Calls `done` with how the last load ended, once it has ended.
    virtual void loadOutcome(std::function<void(const LoadOutcome&)> done) { done({}); }
    // Runs a script in the page, in a world of its own; the result is invalid on an error.
    virtual void evaluate(const QString& script, std::function<void(const QVariant&)> done) = 0;
    // Runs a script among the page's own (its globals and functions in reach), for scripts
    // the user gives.
    virtual void evaluateInPage(const QString& script, std::function<void(const QVariant&)> done) {
        evaluate(script, std::move(done));
    }
    // The view's pixels as they are; a null image on failure.
    virtual void grab(std::function<void(const QImage&)> done) = 0;
    // Starts watching for the first frame painted from now on, so that waiting for it can run
    // alongside another wait.
    virtual void expectFrame() = 0;
    // The view's pixels once a frame painted after the last `expectFrame` (or after this call,
    // without one) has reached the screen, or after `timeLimitMs` whatever was painted.
    virtual void grabFresh(int timeLimitMs, std::function<void(const QImage&)> done) = 0;
    virtual double devicePixelRatio() const = 0;
    // The tallest grab, in device pixels, that the graphics stack can deliver whole.
    virtual int maxGrabHeight() const = 0;
    // Whether `grabPage` takes the page's top part as laid out at the view's current size,
    // beyond the view's bottom, without growing the view: a page sized by its viewport (100vh
    // sections, heights set by script) then keeps the preset's layout in a full-page capture.
    virtual bool grabsBeyondView() const { return false; }
    // The page's top `points.height()` points, `points.width()` wide; a null image on failure.
    virtual void grabPage(QSize points, std::function<void(const QImage&)> done) {
        Q_UNUSED(points);
        grab(std::move(done));
    }
    // Why the engine can take no more pictures (its browser quit, say); empty while it can.
    virtual QString failure() const { return QString(); }
};

} // namespace pintora
