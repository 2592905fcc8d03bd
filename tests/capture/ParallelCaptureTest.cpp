#include "capture/ParallelCapture.h"

#include "capture/FakeCaptureEngine.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace pintora;
using pintora::test::FakeCaptureEngine;
using pintora::test::preset;

namespace {
// Counts the hidden views open at once across lanes; wide presets load slowly, so the first
// preset given finishes last.
struct CountingEngine : FakeCaptureEngine {
    int* open_;
    int* most_;
    CountingEngine(int* open, int* most) : open_(open), most_(most) {}
    void open(std::function<void(int)> ended) override {
        *most_ = std::max(*most_, ++*open_);
        FakeCaptureEngine::open(std::move(ended));
    }
    void close() override {
        --*open_;
        FakeCaptureEngine::close();
    }
    void resize(QSize points) override {
        loadMs = points.width() >= 1000 ? 400 : 0;
        failGrabs = points.width() == 333;
        FakeCaptureEngine::resize(points);
    }
};
} // namespace

TEST(ParallelCaptureTest, SizesRunSideBySideWithinTheLanesAndEachPictureKeepsItsPlace) {
    int open = 0, most = 0;
    ParallelCapture capture([&] { return std::make_unique<CountingEngine>(&open, &most); }, 2);
    capture.setTiming(BatchCapture::Timing::onReadiness());

    const QList<ViewportPreset> presets{preset("wide", 1200, 300), preset("a", 300, 200),
                                        preset("broken", 333, 100), preset("b", 400, 250),
                                        preset("c", 500, 150)};
    QList<int> order;
    QList<CaptureProgress> progress;
    int completions = 0;
    capture.run(
        QUrl(QStringLiteral("http://127.0.0.1/page")), presets, false, 0,
        [&](CaptureProgress p) { progress << p; },
        [&](int index, const QImage& image, const ViewportPreset& p, qint64) {
            order << index;
            EXPECT_EQ(p.id, presets[index].id);
            EXPECT_EQ(image.size(), QSize(int(p.width), int(p.height)));
        },
        [&] { ++completions; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 10000));
    QCoreApplication::processEvents();

    EXPECT_EQ(completions, 1);
    EXPECT_EQ(most, 2) << "two lanes, never more views at once";
    EXPECT_EQ(open, 0) << "every view closed at the end";
    // The slow first size is overtaken by the others in the second lane; the failed grab
    // gives no picture and holds nothing up.
    EXPECT_EQ(order, (QList<int>{1, 3, 4, 0}));
    ASSERT_EQ(progress.size(), 5);
    EXPECT_EQ(progress.last(), (CaptureProgress{5, 5}));

    // The same object runs again, and an empty list completes at once.
    completions = 0;
    capture.run(QUrl(QStringLiteral("http://127.0.0.1/page")), {}, false, 0, {}, {},
                [&] { ++completions; });
    EXPECT_EQ(completions, 1);
}
