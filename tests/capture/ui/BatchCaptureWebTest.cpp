// The batch capture against the real web engine, on pages served here on 127.0.0.1.
#include "capture/BatchCapture.h"
#include "capture/ChromiumBrowser.h"
#include "capture/ChromiumEngine.h"
#include "capture/ui/WebCaptureEngine.h"
#include "support/TestFiles.h"
#include "support/TestWebServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace pintora;
using pintora::test::TestWebServer;
using test::near;

namespace {
ViewportPreset preset(double width, double height) {
    return {QUuid::createUuid(), QStringLiteral("P"), width, height, true};
}

struct Outcome {
    QList<CaptureProgress> progress;
    QList<QImage> images;
    int completions = 0;
};

// Every case runs on both engines unless it says why not: the built-in one, and the system's
// Chromium over the DevTools protocol.
class BatchCaptureWebTest : public ::testing::TestWithParam<const char*> {
protected:
    BatchCaptureWebTest() {
        server.page("/tall", TestWebServer::tallPage(5000));
        server.page("/short", "<!doctype html><body style='margin:0;background:#00ff00'>"
                              "<div style='height:300px'>short</div></body>");
    }

    bool onChromium() const { return GetParam() == std::string("chromium"); }
    // The tallest grab or screenshot the engine takes in one piece, lowered.
    void limitGrabHeight(int pixels) {
        if (builtin)
            builtin->setMaxGrabHeight(pixels);
        else
            chromium->setMaxShotHeight(pixels);
    }
    static std::unique_ptr<CaptureEngine> makeEngine(bool onChromium) {
        if (!onChromium) return std::make_unique<WebCaptureEngine>();
        const QString program = chooseEngine(QStringLiteral("chromium"), QString()).browser;
        EXPECT_FALSE(program.isEmpty()) << "no Chromium to capture with";
        return std::make_unique<ChromiumEngine>(std::make_shared<ChromiumBrowser>(program),
                                                ChromiumEngine::Options{});
    }

    Outcome capture(const QUrl& url, const QList<ViewportPreset>& presets, bool fullPage,
                    double scrollY = 0) {
        Outcome run;
        batch.run(
            url, presets, fullPage, scrollY,
            [&](CaptureProgress p) {
                run.progress.append(p);
                // The host must stay hidden through every step of the run.
                if (QWidget* host = builtin ? builtin->hostWindow() : nullptr) {
                    EXPECT_LE(host->geometry().right(), WebCaptureEngine::hostOrigin + 40000);
                    EXPECT_LT(host->geometry().bottom(), 0);
                }
            },
            [&](const QImage& image, const ViewportPreset&) { run.images.append(image); },
            [&] { ++run.completions; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return run.completions > 0; }, 120000));
        QTest::qWait(10); // a second completion would arrive here
        EXPECT_EQ(run.completions, 1);
        if (builtin) {
            EXPECT_EQ(builtin->hostWindow(), nullptr);
        }
        return run;
    }
    // The one picture of a capture at one preset.
    QImage captureOne(const char* path, ViewportPreset preset, bool fullPage) {
        const Outcome run = capture(server.url(path), {preset}, fullPage);
        EXPECT_EQ(run.images.size(), 1);
        return run.images.value(0);
    }
    void setLoadTimeout(int ms) {
        BatchCapture::Timing timing;
        timing.loadTimeoutMs = ms;
        batch.setTiming(timing);
    }

    static QSize pointSize(const QImage& image) { return image.deviceIndependentSize().toSize(); }
    // The pixel at a point of the page.
    static QRgb at(const QImage& image, int x, int y) {
        return image.pixel(int(x * image.devicePixelRatio()), int(y * image.devicePixelRatio()));
    }

    TestWebServer server;
    std::unique_ptr<CaptureEngine> engine = makeEngine(onChromium());
    WebCaptureEngine* builtin = dynamic_cast<WebCaptureEngine*>(engine.get());
    ChromiumEngine* chromium = dynamic_cast<ChromiumEngine*>(engine.get());
    BatchCapture batch{*engine};
};
} // namespace

INSTANTIATE_TEST_SUITE_P(Engines, BatchCaptureWebTest, ::testing::Values("builtin", "chromium"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(BatchCaptureWebTest, AVisibleCaptureStartsAtTheUsersWholeScrollOffset) {
    const QImage scrolled =
        capture(server.url("/tall"), {preset(500, 400)}, false, 120.9).images.value(0);
    const QImage reference = captureOne("/tall", preset(500, 400), false);
    ASSERT_FALSE(scrolled.isNull() || reference.isNull());
    // Row r of the scrolled picture is row r + 120 of the page: band edges line up exactly.
    const int shift = int(120 * reference.devicePixelRatio());
    for (int y = 0; y + shift < reference.height(); ++y)
        ASSERT_EQ(scrolled.pixel(250, y), reference.pixel(250, y + shift)) << y;
    // No scrollbar: the page's own bands reach the right edge.
    for (int y : {50, 200, 350})
        EXPECT_EQ(at(reference, 499, y), at(reference, 250, y)) << y;
}

TEST_P(BatchCaptureWebTest, FailedRedirectedEndlessAndStalledLoadsStillGiveOnePicturePerPreset) {
    server.route("/redirect", {.status = 302, .headers = {"Location: /short"}});
    server.route("/never", {.hang = true});
    server.route("/never.png", {.hang = true});
    server.page("/stalled", "<!doctype html><body style='margin:0;background:#00ff00'>"
                            "<img src='/never.png' style='width:10px;height:10px'></body>");
    const int usual = BatchCapture::Timing().loadTimeoutMs;
    const struct {
        QUrl url;
        int loadTimeoutMs;
        int presets;
        bool green; // the page's own picture, not a blank one
    } loads[] = {
        {QUrl("http://127.0.0.1:1/"), usual, 2, false},
        {server.url("/redirect"), usual, 1, true},
        {server.url("/never"), 1500, 2, false},
        // The load limit is past the wait of `capture`: only going quiet can end this load.
        {server.url("/stalled"), 200000, 1, true},
    };
    for (const auto& load : loads) {
        SCOPED_TRACE(load.url.toString().toStdString());
        setLoadTimeout(load.loadTimeoutMs);
        const Outcome run =
            capture(load.url, QList<ViewportPreset>(load.presets, preset(300, 200)), false);
        ASSERT_EQ(run.images.size(), load.presets);
        EXPECT_EQ(run.progress.size(), load.presets);
        if (load.green) {
            EXPECT_TRUE(near(run.images[0].pixel(150, 100), Qt::green));
        }
    }
}

TEST_P(BatchCaptureWebTest, APageWhoseScriptNeverEndsFailsAtItsDeadlineAndThePageIsGivenUp) {
    server.page("/spin", "<body onload='setTimeout(function(){for(;;){}},100)'>Busy</body>");
    BatchCapture::PageSteps steps;
    steps.timeoutMs = 2500;
    steps.delayMs = 600; // the script spins by the time the picture is taken
    batch.setPageSteps(steps);
    int timedOut = 0;
    QObject::connect(&batch, &BatchCapture::pageFailed,
                     [&](const ViewportPreset&, const QString&, bool time) { timedOut += time; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(capture(server.url("/spin"), {preset(300, 200), preset(400, 200)}, false)
                    .images.isEmpty());
    EXPECT_EQ(timedOut, 2);
    EXPECT_LT(clock.elapsed(), 2 * 2500 + 5000) << "each size kept to its deadline";
    // The engine took a new page: the next run captures as ever.
    batch.setPageSteps({});
    EXPECT_TRUE(near(captureOne("/short", preset(300, 200), false).pixel(150, 100), Qt::green));
}

TEST_P(BatchCaptureWebTest, DialogsAndPopupsOfThePageNeitherShowNorHoldTheCapture) {
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

TEST_P(BatchCaptureWebTest, APageThatGrowsAsItIsScrolledStillEndsAndKeepsWhatItGrew) {
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
    const QImage image = captureOne("/grows", preset(400, 500), true);
    EXPECT_LT(clock.elapsed(), 20000);
    const int height = pointSize(image).height();
    EXPECT_GE(height, 5000) << "what the scrolling brought in is in the picture";
    EXPECT_TRUE(near(at(image, 200, 500), Qt::red));
    EXPECT_TRUE(near(at(image, 200, height - 10), Qt::blue));
}

TEST_P(BatchCaptureWebTest, InTilesFixedAndStickyHeadersShowOnceAndAViewportStaysThePresets) {
    server.page("/headers", "<!doctype html><style>body{margin:0}</style><body>"
                            "<div style='position:fixed;top:0;left:0;width:100%;height:40px;"
                            "background:#f0f;z-index:5'></div>"
                            "<section style='height:100vh;background:#f00'></section>"
                            "<div style='position:sticky;top:0;height:30px;background:#0ff'></div>"
                            "<div style='height:5000px;background:#808080'></div></body>");
    limitGrabHeight(1700);
    const QImage image = captureOne("/headers", preset(400, 600), true);
    EXPECT_EQ(pointSize(image), QSize(400, 5630));
    EXPECT_TRUE(near(at(image, 200, 20), Qt::magenta));
    EXPECT_TRUE(near(at(image, 200, 300), Qt::red));
    EXPECT_TRUE(near(at(image, 200, 615), Qt::cyan)) << "the sticky bar under a hero of one preset";
    // Where each later tile begins, neither header shows again.
    for (int y : {1720, 1745, 3420, 3445, 5620})
        EXPECT_TRUE(near(at(image, 200, y), QColor(128, 128, 128))) << y;
}

TEST_P(BatchCaptureWebTest, AWebFontThatComesAfterTheLoadIsInThePicture) {
    QFile font(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    ASSERT_TRUE(font.open(QIODevice::ReadOnly));
    server.route("/late.ttf", {.contentType = "font/ttf", .body = font.readAll(), .delayMs = 1500});
    // The words appear once the page has loaded, in a font that hides them until it arrives.
    server.page("/font", "<!doctype html><style>@font-face{font-family:Late;"
                         "src:url('/late.ttf');font-display:block}body{margin:0;background:#fff}"
                         "div{font:80px/100px Late;color:#000}</style><body><script>"
                         "addEventListener('load',function(){setTimeout(function(){"
                         "var d=document.createElement('div');"
                         "d.textContent='\\u2588\\u2588\\u2588\\u2588';"
                         "document.body.appendChild(d);},0);});</script></body>");
    const QImage image =
        captureOne("/font", preset(400, 200), false).convertToFormat(QImage::Format_RGB32);
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(dark, image.width() * image.height() / 20) << "the words are drawn";
}

TEST_P(BatchCaptureWebTest, AFullPageCoversThePageAndPagesTallerThanOneGrabAreStitched) {
    const QImage single = captureOne("/tall", preset(400, 600), true);
    EXPECT_EQ(pointSize(single), QSize(400, 5000));
    // Painted to the bottom: no stale, shorter frame.
    EXPECT_TRUE(near(single.pixel(200, single.height() - 5), Qt::blue));
    limitGrabHeight(1700);
    EXPECT_TRUE(single.convertToFormat(QImage::Format_RGB32) ==
                captureOne("/tall", preset(400, 600), true).convertToFormat(QImage::Format_RGB32));

    // Taller than the graphics stack allows in one grab.
    limitGrabHeight(16384);
    server.page("/huge", TestWebServer::tallPage(30000));
    const QImage image = captureOne("/huge", preset(300, 600), true);
    EXPECT_EQ(pointSize(image), QSize(300, 30000));
    EXPECT_TRUE(near(image.pixel(150, 5), Qt::red));
    // The middle of the 150th grey band, at 15,050 points.
    const int grey = 80 + (149 * 37) % 150;
    EXPECT_TRUE(near(at(image, 150, 15050), QColor(grey, grey, grey)));
    EXPECT_TRUE(near(image.pixel(150, image.height() - 5), Qt::blue));
}

// Each row is green where the engine draws the feature and red where it does not.
const QByteArray currentCss =
    "<!doctype html><style>body{margin:0;font:16px sans-serif}div{height:40px;background:#f00}"
    "@supports selector(:has(a)){.has{background:#0f0}}"
    ".nest{&.on{background:#0f0}}"
    ".box{container-type:inline-size}@container (min-width:10px){.cq{background:#0f0}}"
    "@supports (grid-template-columns:subgrid){.sub{background:#0f0}}"
    "@supports (text-wrap:balance){.bal{background:#0f0}}"
    "@supports (anchor-name:--a){.anc{background:#0f0}}"
    "@supports (height:1dvh){.dvh{background:#0f0}}"
    "</style><body><div class=has></div><div class='nest on'></div>"
    "<section class=box><div class=cq></div></section><div class=sub></div>"
    "<div class=bal></div><div class=anc></div><div class=dvh></div>"
    "<p style='text-wrap:balance'>Pintora draws the page as the browser does.</p></body>";

TEST_P(BatchCaptureWebTest, CurrentCssIsDrawnAsTheBrowserItselfDrawsIt) {
    if (!onChromium()) GTEST_SKIP() << "the built-in engine is Chromium 102, older than these";
    server.page("/css", currentCss);
    const QImage image =
        captureOne("/css", preset(400, 320), false).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(400, 320));
    for (int row = 0; row < 7; ++row)
        EXPECT_TRUE(near(image.pixel(200, row * 40 + 20), Qt::green)) << "row " << row;
    // The browser's own screenshot of the same page at the same size.
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("own.png"));
    QStringList flags{"--headless", "--hide-scrollbars", "--window-size=400,320",
                      "--user-data-dir=" + dir.filePath(QStringLiteral("profile")),
                      "--screenshot=" + shot, server.url("/css").toString()};
    if (geteuid() == 0) flags << "--no-sandbox";
    QProcess browser;
    browser.start(chooseEngine(QStringLiteral("chromium"), QString()).browser, flags);
    // The page is served from here: the loop goes on while the browser runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser.state() == QProcess::NotRunning; }, 60000));
    const QImage own = QImage(shot).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(own.size(), image.size());
    EXPECT_TRUE(own == image) << "the picture differs from the browser's own";
}

TEST_P(BatchCaptureWebTest, PagesSizedByTheirViewportAreWholeAndKeepThePresetsLayout) {
    const struct {
        const char* path;
        QByteArray html;
        int height;               // of the whole page at 400 x 500
        QList<QPair<int, QColor>> colours; // at points down the page
        bool builtinToo;          // else: not drawn by an engine as old as the built-in one
    } pages[] = {
        // The single-page-app layout: only an element inside scrolls.
        {"/app",
         "<!doctype html><style>html,body{height:100%;margin:0;overflow:hidden}"
         "main{height:100%;overflow:auto}</style><body><main><div style='height:600px;"
         "background:#f00'></div><div style='height:2400px;background:#00f'></div></main>",
         3000, {{300, Qt::red}, {700, Qt::blue}, {2990, Qt::blue}}, true},
        // A hero sized by script to the view, on load and on every resize.
        {"/hero",
         "<!doctype html><body style='margin:0'><div id=h style='background:#f00'></div>"
         "<div style='height:2000px;background:#00f'></div><script>function fit(){"
         "h.style.height=innerHeight+'px';}fit();addEventListener('resize',fit);</script>",
         2500, {{495, Qt::red}, {505, Qt::blue}, {2490, Qt::blue}}, false},
        {"/units",
         "<!doctype html><body style='margin:0'><div style='height:100dvh;background:#f00'></div>"
         "<div style='height:100svh;background:#0f0'></div><div style='height:100lvh;"
         "background:#ff0'></div><div style='height:1000px;background:#00f'></div>",
         2500, {{250, Qt::red}, {750, Qt::green}, {1250, Qt::yellow}, {1750, Qt::blue}}, false},
        // A hero of one viewport over 2200 px of blue holding two pictures that load only once
        // scrolled to: natively lazy, and by a scroll handler.
        {"/lazy",
         "<!doctype html><style>body{margin:0}img{position:absolute;left:150px;width:100px;"
         "height:100px}</style><body><section style='height:100vh;background:#f00'>"
         "</section><div style='height:2200px;background:#00f;position:relative'>"
         "<img loading=lazy src='/lazy.svg' style='top:1000px'>"
         "<img id=s data-src='/scrolled.svg' style='top:2000px'></div><script>"
         "var s=document.getElementById('s');addEventListener('scroll',function(){"
         "if(!s.src&&s.getBoundingClientRect().top<innerHeight)s.src=s.dataset.src;});"
         "</script></body>",
         2700, {{495, Qt::red}, {505, Qt::blue}, {1550, Qt::green}, {2550, Qt::green}}, true},
    };
    const TestWebServer::Response green{
        .contentType = "image/svg+xml",
        .body = "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
                "<rect width='100' height='100' fill='#0f0'/></svg>"};
    server.route("/lazy.svg", green);
    server.route("/scrolled.svg", green);
    for (const auto& page : pages) {
        if (!page.builtinToo && !onChromium()) continue;
        SCOPED_TRACE(page.path);
        server.page(page.path, page.html);
        const QImage image = captureOne(page.path, preset(400, 500), true);
        EXPECT_EQ(pointSize(image), QSize(400, page.height));
        for (const auto& [y, colour] : page.colours)
            EXPECT_TRUE(near(at(image, 200, y), colour)) << "at " << y;
    }
}
