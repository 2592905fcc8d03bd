#include "capture/BatchCapture.h"

#include "capture/FakeCaptureEngine.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace pintora;
using pintora::test::FakeCaptureEngine;
using pintora::test::preset;

namespace {
struct Outcome {
    QList<CaptureProgress> progress;
    QList<QImage> images;
    QList<QString> presetNames;
    int completions = 0;
};

class BatchCaptureTest : public ::testing::Test {
protected:
    BatchCaptureTest() { batch.setTiming(BatchCapture::Timing::onReadiness()); }

    // Progress reports and the completion go into the engine's log, among its calls.
    Outcome run(const QList<ViewportPreset>& presets, bool fullPage, double scrollY = 0,
                std::function<void(CaptureProgress)> onProgress = {}) {
        Outcome out;
        batch.run(
            QUrl(QStringLiteral("http://127.0.0.1/page")), presets, fullPage, scrollY,
            [&](CaptureProgress p) {
                out.progress.append(p);
                engine.log << QStringLiteral("progress %1/%2").arg(p.current).arg(p.total);
                if (onProgress) onProgress(p);
            },
            [&](const QImage& image, const ViewportPreset& p) {
                out.images.append(image);
                out.presetNames.append(p.name);
            },
            [&] {
                ++out.completions;
                engine.log << QStringLiteral("complete");
            });
        EXPECT_TRUE(QTest::qWaitFor([&] { return out.completions > 0; }, 10000));
        QCoreApplication::processEvents(); // a second completion would show up here
        EXPECT_EQ(out.completions, 1);
        return out;
    }

    FakeCaptureEngine engine;
    BatchCapture batch{engine};
};
} // namespace

TEST_F(BatchCaptureTest, EachPresetReportsProgressBeforeItsLoadAndSnapshotsComeInOrder) {
    const Outcome out =
        run({preset("A", 1920, 1080), preset("B", 1280, 800), preset("C", 390, 844)}, false);
    EXPECT_EQ(out.progress, (QList<CaptureProgress>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(out.presetNames, (QList<QString>{"A", "B", "C"}));
    ASSERT_EQ(out.images.size(), 3);
    EXPECT_EQ(out.images[2].size(), QSize(390, 844));
    // A report comes before its preset's load and after the previous preset's picture.
    const QStringList& log = engine.log;
    EXPECT_LT(log.indexOf(QStringLiteral("progress 1/3")),
              log.indexOf(QRegularExpression("load .*")));
    EXPECT_LT(log.indexOf(QStringLiteral("grab")), log.indexOf(QStringLiteral("progress 2/3")));
    // The host goes exactly once, right before the completion.
    EXPECT_EQ(log.count(QStringLiteral("close")), 1);
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"close", "complete"}));
}

TEST_F(BatchCaptureTest, AFullPageIsAsTallAsThePageWithinItsBounds) {
    const struct {
        const char* name;
        QVariant measured;
        int expectedHeight;
    } cases[] = {
        {"taller page", 5000.0, 5000},
        {"shorter page keeps the preset", 300.0, 800},
        {"integer answer", 2400, 2400},
        {"no number", QStringLiteral("tall"), 800},
        {"endless page is capped", 1.0e9, BatchCapture::maxFullPageHeight},
    };
    QList<double> cuts;
    QObject::connect(&batch, &BatchCapture::pageCut,
                     [&](const ViewportPreset&, double height, int cutAt) {
                         cuts.append(height);
                         EXPECT_EQ(cutAt, BatchCapture::maxFullPageHeight);
                     });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.measured = c.measured;
        const Outcome out = run({preset("A", 1280, 800)}, true);
        ASSERT_EQ(out.images.size(), 1);
        EXPECT_EQ(out.images[0].size(), QSize(1280, c.expectedHeight));
    }
    // Only the endless page was cut, and the user is told so.
    EXPECT_EQ(cuts, QList<double>{1.0e9});
    // Denser pictures are cut sooner, so each one decodes within the program's limit.
    EXPECT_EQ(BatchCapture::maxFullPageHeightAt(1920, 2), 34952);
    EXPECT_EQ(BatchCapture::maxFullPageHeightAt(1920, 3), 15534);
}

TEST_F(BatchCaptureTest, CancelEndsTheRunAtOnceWithThePicturesTaken) {
    engine.loadMs = 50;
    const auto cancelAtTheSecond = [&](CaptureProgress p) {
        if (p.current == 2) QTimer::singleShot(10, &engine.alive, [&] { batch.cancel(); });
    };
    const Outcome out = run({preset("A", 100, 100), preset("B", 200, 100), preset("C", 300, 100)},
                            false, 0, cancelAtTheSecond);
    EXPECT_EQ(out.presetNames, QStringList{"A"});
    EXPECT_FALSE(batch.isRunning());
}

TEST_F(BatchCaptureTest, APageTooTallForOneGrabIsStitchedFromTilesLikeASingleGrab) {
    const struct {
        double ratio;
        int maxGrab;
        int pageHeight;
    } cases[] = {{2, 1000, 1730}, {1, 700, 701}, {2, 4000, 9999}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pageHeight);
        engine.ratio = c.ratio;
        engine.maxGrab = c.maxGrab;
        engine.pageHeight = c.pageHeight;
        engine.log.clear();
        const Outcome out = run({preset("A", 40, 300)}, true);
        ASSERT_EQ(out.images.size(), 1);
        engine.scrollY = 0;
        EXPECT_EQ(out.images[0].devicePixelRatio(), c.ratio);
        EXPECT_TRUE(out.images[0].convertToFormat(QImage::Format_RGB32) ==
                    engine.page(40, c.pageHeight));
        // Never a grab taller than the graphics stack allows.
        for (const QString& line : engine.log.filter(QStringLiteral("resize")))
            EXPECT_LE(line.section(u'x', 1).toInt() * c.ratio, c.maxGrab) << line.toStdString();
    }
}

// A page that navigates again by itself ends its load more than once.
TEST_F(BatchCaptureTest, OnlyTheFirstEndOfEachLoadAdvancesTheQueue) {
    engine.finishesPerLoad = 3;
    const Outcome out = run({preset("A", 100, 100), preset("B", 200, 100)}, false);
    EXPECT_EQ(out.presetNames, (QList<QString>{"A", "B"}));
    EXPECT_EQ(out.progress.size(), 2);
}

TEST_F(BatchCaptureTest, ALoadThatNeverEndsIsStoppedAndStillCaptured) {
    BatchCapture::Timing timing = batch.timing();
    timing.loadTimeoutMs = 30;
    batch.setTiming(timing);
    engine.finishesPerLoad = 0;
    // The stopped first load reports late, while the second runs: it must not count.
    const Outcome out =
        run({preset("A", 100, 100), preset("B", 200, 100)}, false, 0, [&](CaptureProgress p) {
            if (p.current == 2)
                QTimer::singleShot(0, &engine.alive, [&] { engine.onLoadEnded(1); });
        });
    EXPECT_EQ(out.images.size(), 2);
    EXPECT_EQ(engine.log.count(QStringLiteral("stop")), 2);
}

TEST_F(BatchCaptureTest, AParsedPageWhoseNetworkStaysQuietIsCapturedWithoutItsLoadEnding) {
    BatchCapture::Timing timing = batch.timing();
    timing.quietMs = 60;
    timing.pollMs = 10;
    timing.loadTimeoutMs = 2000;
    batch.setTiming(timing);
    engine.finishesPerLoad = 0;
    const struct {
        const char* answer;
        int stops; // 1: only the load limit ended the load
    } cases[] = {{"complete 4", 0}, {"interactive 2", 0}, {"loading 4", 1}, {"", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        engine.log.clear();
        engine.quietAnswer = QString::fromLatin1(c.answer);
        EXPECT_EQ(run({preset("A", 100, 100)}, false).images.size(), 1);
        EXPECT_EQ(engine.log.count(QStringLiteral("stop")), c.stops);
    }
}
