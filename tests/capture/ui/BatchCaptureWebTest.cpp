// The batch capture against the real web engine, on pages served here on 127.0.0.1.
#include "capture/BatchCapture.h"
#include "capture/ui/WebCaptureEngine.h"
#include "support/TestWebServer.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace pintora;
using pintora::test::TestWebServer;

namespace {
ViewportPreset preset(double width, double height) {
    return {QUuid::createUuid(), QStringLiteral("P"), width, height, true};
}

bool near(QRgb a, QColor b) {
    return std::abs(qRed(a) - b.red()) <= 8 && std::abs(qGreen(a) - b.green()) <= 8 &&
           std::abs(qBlue(a) - b.blue()) <= 8;
}

struct Outcome {
    QList<CaptureProgress> progress;
    QList<QImage> images;
    int completions = 0;
};

class BatchCaptureWebTest : public ::testing::Test {
protected:
    BatchCaptureWebTest() {
        server.page("/tall", TestWebServer::tallPage(5000));
        server.page("/short", "<!doctype html><body style='margin:0;background:#00ff00'>"
                              "<div style='height:300px'>short</div></body>");
    }

    Outcome capture(const QUrl& url, const QList<ViewportPreset>& presets, bool fullPage,
                    double scrollY = 0) {
        Outcome run;
        batch.run(
            url, presets, fullPage, scrollY,
            [&](CaptureProgress p) {
                run.progress.append(p);
                // The host must stay hidden through every step of the run.
                if (QWidget* host = engine.hostWindow()) {
                    EXPECT_LE(host->geometry().right(), WebCaptureEngine::hostOrigin + 40000);
                    EXPECT_LT(host->geometry().bottom(), 0);
                }
            },
            [&](const QImage& image, const ViewportPreset&) { run.images.append(image); },
            [&] { ++run.completions; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return run.completions > 0; }, 120000));
        QTest::qWait(10); // a second completion would arrive here
        EXPECT_EQ(run.completions, 1);
        EXPECT_EQ(engine.hostWindow(), nullptr);
        return run;
    }

    static QSize pointSize(const QImage& image) { return image.deviceIndependentSize().toSize(); }

    TestWebServer server;
    WebCaptureEngine engine;
    BatchCapture batch{engine};
};
} // namespace

TEST_F(BatchCaptureWebTest, EveryPresetGivesAPictureOfExactlyItsSizeInOrder) {
    const Outcome run = capture(server.url("/tall"),
                                {preset(1280, 800), preset(390, 844), preset(834, 1194)}, false);
    EXPECT_EQ(run.progress, (QList<CaptureProgress>{{1, 3}, {2, 3}, {3, 3}}));
    ASSERT_EQ(run.images.size(), 3);
    EXPECT_EQ(pointSize(run.images[0]), QSize(1280, 800));
    EXPECT_EQ(pointSize(run.images[1]), QSize(390, 844));
    EXPECT_EQ(pointSize(run.images[2]), QSize(834, 1194));
    EXPECT_TRUE(near(run.images[1].pixel(10, 10), Qt::red));
}

TEST_F(BatchCaptureWebTest, AFullPageCaptureCoversTheWholePageAndNoLessThanThePreset) {
    const Outcome tall = capture(server.url("/tall"), {preset(1280, 800)}, true);
    ASSERT_EQ(tall.images.size(), 1);
    const QImage& image = tall.images[0];
    EXPECT_EQ(pointSize(image), QSize(1280, 5000));
    // Painted to the bottom: no stale, shorter frame.
    EXPECT_TRUE(near(image.pixel(640, 5), Qt::red));
    EXPECT_TRUE(near(image.pixel(640, image.height() - 5), Qt::blue));

    const Outcome shorter = capture(server.url("/short"), {preset(600, 700)}, true);
    ASSERT_EQ(shorter.images.size(), 1);
    EXPECT_EQ(pointSize(shorter.images[0]), QSize(600, 700));
}

TEST_F(BatchCaptureWebTest, AVisibleCaptureStartsAtTheUsersWholeScrollOffset) {
    // The first band is 100 px of red: scrolled by 120 the top row is grey.
    const Outcome run = capture(server.url("/tall"), {preset(500, 400)}, false, 120.9);
    ASSERT_EQ(run.images.size(), 1);
    const QImage reference =
        capture(server.url("/tall"), {preset(500, 400)}, false).images.value(0);
    ASSERT_FALSE(reference.isNull());
    const double ratio = reference.devicePixelRatio();
    EXPECT_FALSE(near(run.images[0].pixel(250, 0), Qt::red));
    // Row r of the scrolled picture is row r + 120 of the page: band edges line up exactly.
    const int shift = int(120 * ratio);
    for (int y = 0; y + shift < reference.height(); ++y)
        ASSERT_EQ(run.images[0].pixel(250, y), reference.pixel(250, y + shift)) << y;
}

TEST_F(BatchCaptureWebTest, FailedRedirectedAndEndlessLoadsStillGiveOnePicturePerPreset) {
    server.route("/redirect", [](const TestWebServer::Request&) {
        TestWebServer::Response response;
        response.status = 302;
        response.headers = {"Location: /short"};
        return response;
    });
    server.route("/never", [](const TestWebServer::Request&) {
        TestWebServer::Response response;
        response.hang = true;
        return response;
    });
    const Outcome unreachable = capture(QUrl(QStringLiteral("http://127.0.0.1:1/")),
                                        {preset(300, 200), preset(200, 300)}, false);
    EXPECT_EQ(unreachable.images.size(), 2);

    const Outcome redirected = capture(server.url("/redirect"), {preset(300, 200)}, false);
    ASSERT_EQ(redirected.images.size(), 1);
    EXPECT_TRUE(near(redirected.images[0].pixel(150, 100), Qt::green));

    BatchCapture::Timing timing;
    timing.loadTimeoutMs = 1500;
    batch.setTiming(timing);
    const Outcome endless =
        capture(server.url("/never"), {preset(300, 200), preset(200, 300)}, false);
    EXPECT_EQ(endless.images.size(), 2);
    EXPECT_EQ(endless.progress.size(), 2);
}

TEST_F(BatchCaptureWebTest, DialogsAndPopupsOfThePageNeitherShowNorHoldTheCapture) {
    // Each dialog answers as cancelled: the page turns green only if confirm and prompt did.
    server.page("/dialogs",
                "<!doctype html><body style='margin:0;background:#ff0000'><script>"
                "alert('hello');"
                "var ok = !confirm('sure?') && prompt('name?', 'x') === null;"
                "var popup = window.open('/short');"
                "window.onbeforeunload = function(e) { e.preventDefault(); return 'stay'; };"
                "if (ok && !popup) document.body.style.background = '#00ff00';"
                "</script></body>");
    const Outcome run =
        capture(server.url("/dialogs"), {preset(300, 200), preset(200, 300)}, false);
    ASSERT_EQ(run.images.size(), 2);
    EXPECT_TRUE(near(run.images[0].pixel(150, 100), Qt::green));
    EXPECT_TRUE(near(run.images[1].pixel(100, 150), Qt::green));
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible())
            << "a dialog was shown: " << window->metaObject()->className();
}

TEST_F(BatchCaptureWebTest, AFullPageIsLaidOutAtThePresetsHeightWithItsLazyPicturesIn) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage green(100, 100, QImage::Format_RGB32);
    green.fill(Qt::green);
    green.save(&buffer, "PNG");
    for (const char* path : {"/lazy.png", "/scrolled.png", "/observed.png"}) {
        server.route(path, [png](const TestWebServer::Request&) {
            TestWebServer::Response response;
            response.contentType = "image/png";
            response.body = png;
            return response;
        });
    }
    // A hero of one viewport over 3200 px of blue holding three pictures that load only once
    // scrolled to: natively lazy, by a scroll handler, by an intersection observer.
    server.page("/lazy",
                "<!doctype html><style>body{margin:0}img{position:absolute;left:0;width:100px;"
                "height:100px}</style><body><section style='height:100vh;background:#f00'>"
                "</section><div style='height:3200px;background:#00f;position:relative'>"
                "<img loading=lazy src='/lazy.png' style='top:1000px'>"
                "<img id=s data-src='/scrolled.png' style='top:2000px'>"
                "<img id=o data-src='/observed.png' style='top:3000px'></div><script>"
                "var s=document.getElementById('s');addEventListener('scroll',function(){"
                "if(!s.src&&s.getBoundingClientRect().top<innerHeight)s.src=s.dataset.src;});"
                "new IntersectionObserver(function(es){es.forEach(function(e){"
                "if(e.isIntersecting)e.target.src=e.target.dataset.src;});})"
                ".observe(document.getElementById('o'));</script></body>");
    const Outcome run = capture(server.url("/lazy"), {preset(600, 400)}, true);
    ASSERT_EQ(run.images.size(), 1);
    const QImage& image = run.images[0];
    const double ratio = image.devicePixelRatio();
    const auto at = [&](int x, int y) { return image.pixel(int(x * ratio), int(y * ratio)); };
    EXPECT_EQ(pointSize(image), QSize(600, 3600));
    EXPECT_TRUE(near(at(300, 395), Qt::red));
    EXPECT_TRUE(near(at(300, 405), Qt::blue)) << "the hero is one preset tall";
    for (int top : {1400, 2400, 3400})
        EXPECT_TRUE(near(at(50, top + 50), Qt::green)) << "the picture at " << top;
}

TEST_F(BatchCaptureWebTest, APageThatGrowsAsItIsScrolledStillEndsAndKeepsWhatItGrew) {
    // Endless scrolling: each scroll near the bottom adds 2000 px more, for ever.
    server.page("/grows",
                "<!doctype html><body style='margin:0'><div id=f><div style='height:1000px;"
                "background:#f00'></div></div><script>var f=document.getElementById('f');"
                "addEventListener('scroll',function(){if(scrollY+innerHeight*2>="
                "document.body.scrollHeight){var d=document.createElement('div');"
                "d.style.cssText='height:2000px;background:#00f';f.appendChild(d);}});"
                "</script></body>");
    BatchCapture::Timing timing = BatchCapture::Timing::onReadiness();
    timing.prepareLimitMs = 2000; // at most a second of scrolling through
    batch.setTiming(timing);
    QElapsedTimer clock;
    clock.start();
    const Outcome run = capture(server.url("/grows"), {preset(400, 500)}, true);
    EXPECT_LT(clock.elapsed(), 20000);
    ASSERT_EQ(run.images.size(), 1);
    const QImage& image = run.images[0];
    const int height = pointSize(image).height();
    EXPECT_GE(height, 5000) << "what the scrolling brought in is in the picture";
    EXPECT_LE(height, BatchCapture::maxFullPageHeight);
    const double ratio = image.devicePixelRatio();
    EXPECT_TRUE(near(image.pixel(200, int(500 * ratio)), Qt::red));
    EXPECT_TRUE(near(image.pixel(200, int((height - 10) * ratio)), Qt::blue));
}

TEST_F(BatchCaptureWebTest, InTilesFixedAndStickyHeadersShowOnceAndAViewportStaysThePresets) {
    server.page("/headers", "<!doctype html><style>body{margin:0}</style><body>"
                            "<div style='position:fixed;top:0;left:0;width:100%;height:40px;"
                            "background:#f0f;z-index:5'></div>"
                            "<section style='height:100vh;background:#f00'></section>"
                            "<div style='position:sticky;top:0;height:30px;background:#0ff'></div>"
                            "<div style='height:5000px;background:#808080'></div></body>");
    engine.setMaxGrabHeight(1700);
    const Outcome run = capture(server.url("/headers"), {preset(400, 600)}, true);
    ASSERT_EQ(run.images.size(), 1);
    const QImage& image = run.images[0];
    const double ratio = image.devicePixelRatio();
    const auto at = [&](int y) { return image.pixel(200, int(y * ratio)); };
    EXPECT_EQ(pointSize(image), QSize(400, 5630));
    EXPECT_TRUE(near(at(20), Qt::magenta));
    EXPECT_TRUE(near(at(300), Qt::red));
    EXPECT_TRUE(near(at(615), Qt::cyan)) << "the sticky bar under a hero of one preset";
    // Where each later tile begins, neither header shows again.
    for (int y : {1720, 1745, 3420, 3445, 5120, 5145, 5620})
        EXPECT_TRUE(near(at(y), QColor(128, 128, 128))) << y;
}

TEST_F(BatchCaptureWebTest, AWebFontThatComesAfterTheLoadIsInThePicture) {
    QFile font(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    ASSERT_TRUE(font.open(QIODevice::ReadOnly));
    const QByteArray bytes = font.readAll();
    server.route("/late.ttf", [bytes](const TestWebServer::Request&) {
        TestWebServer::Response response;
        response.contentType = "font/ttf";
        response.body = bytes;
        response.delayMs = 1500;
        return response;
    });
    // The words appear once the page has loaded, in a font that hides them until it arrives.
    server.page("/font", "<!doctype html><style>@font-face{font-family:Late;"
                         "src:url('/late.ttf');font-display:block}body{margin:0;background:#fff}"
                         "div{font:80px/100px Late;color:#000}</style><body><script>"
                         "addEventListener('load',function(){setTimeout(function(){"
                         "var d=document.createElement('div');d.textContent='\\u2588\\u2588\\u2588\\u2588';"
                         "document.body.appendChild(d);},0);});</script></body>");
    const Outcome run = capture(server.url("/font"), {preset(400, 200)}, false);
    ASSERT_EQ(run.images.size(), 1);
    const QImage image = run.images[0].convertToFormat(QImage::Format_RGB32);
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(dark, image.width() * image.height() / 20) << "the words are drawn";
}

TEST_F(BatchCaptureWebTest, ARequestThatNeverAnswersDoesNotHoldACompletePage) {
    server.route("/never.png", [](const TestWebServer::Request&) {
        TestWebServer::Response response;
        response.hang = true;
        return response;
    });
    server.page("/stalled", "<!doctype html><body style='margin:0;background:#00ff00'>"
                            "<img src='/never.png' style='width:10px;height:10px'></body>");
    // The load limit is past the wait of `capture`: only going quiet can end this load.
    BatchCapture::Timing timing;
    timing.loadTimeoutMs = 200000;
    batch.setTiming(timing);
    const Outcome run = capture(server.url("/stalled"), {preset(300, 200)}, false);
    ASSERT_EQ(run.images.size(), 1);
    EXPECT_TRUE(near(run.images[0].pixel(150, 100), Qt::green));
}

TEST_F(BatchCaptureWebTest, PagesTallerThanOneGrabAreStitchedLikeASingleGrab) {
    const Outcome single = capture(server.url("/tall"), {preset(400, 600)}, true);
    engine.setMaxGrabHeight(1700);
    const Outcome tiled = capture(server.url("/tall"), {preset(400, 600)}, true);
    ASSERT_EQ(single.images.size(), 1);
    ASSERT_EQ(tiled.images.size(), 1);
    const QImage a = single.images[0].convertToFormat(QImage::Format_RGB32);
    const QImage b = tiled.images[0].convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b);

    // Taller than the graphics stack allows in one grab.
    engine.setMaxGrabHeight(16384);
    server.page("/huge", TestWebServer::tallPage(30000));
    const Outcome huge = capture(server.url("/huge"), {preset(300, 600)}, true);
    ASSERT_EQ(huge.images.size(), 1);
    const QImage& image = huge.images[0];
    EXPECT_EQ(pointSize(image), QSize(300, 30000));
    EXPECT_TRUE(near(image.pixel(150, 5), Qt::red));
    // The middle of the 150th grey band, at 15,050 points.
    const int grey = 80 + (149 * 37) % 150;
    EXPECT_TRUE(
        near(image.pixel(150, int(15050 * image.devicePixelRatio())), QColor(grey, grey, grey)));
    EXPECT_TRUE(near(image.pixel(150, image.height() - 5), Qt::blue));
}
