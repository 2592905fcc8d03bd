// The tasks on each size's page: waiting until it is quiet, its steps, and the checks before
// its picture is taken.
#include "capture/BatchCapture.h"

#include "capture/PageScripts.h"

#include <algorithm>

namespace pintora {

using namespace pageScripts;

// How often a loading page is asked whether it has gone quiet.
int BatchCapture::probeInterval() const {
    return std::max(timing_.pollMs, timing_.quietMs / 6);
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
        const int interval = probeInterval();
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

} // namespace pintora
