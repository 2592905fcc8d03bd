#include "canvas/CanvasController.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>

using namespace pintora;

namespace {

CanvasState withFrames(std::initializer_list<QRectF> frames) {
    CanvasState state;
    for (const QRectF& f : frames) {
        ImageItem image{.frame = f};
        state.items.append(image);
    }
    return state;
}

} // namespace

TEST(CanvasController, TheVisibleCentreIsInCanvasPoints) {
    CanvasController c;
    c.setZoom(2);
    c.setPan({100, 50});
    c.setViewportSize({1000, 700});
    EXPECT_EQ(c.viewportCenterInCanvas(), QPointF(200, 150));
}

TEST(CanvasController, ZoomingClampsAndNeverPans) {
    CanvasController c;
    c.setPan({30, -40});
    c.applyScroll(99, 10, true);
    EXPECT_NEAR(c.zoom(), 1.1, 1e-12) << "ctrl-scroll zooms by 1% a point";
    c.applyScroll(0, -250, true);
    EXPECT_EQ(c.zoom(), 0.1) << "a negative factor stops at the least zoom";
    c.setZoom(6);
    c.applyMagnify(0.5);
    EXPECT_EQ(c.zoom(), 8);
    c.setToolbarZoom(0);
    EXPECT_EQ(c.zoom(), 0.1);
    EXPECT_EQ(c.pan(), QPointF(30, -40));
    QSignalSpy zooms(&c, &CanvasController::zoomChanged);
    c.applyScroll(-12, 30, false);
    EXPECT_EQ(c.pan(), QPointF(18, -10)) << "a plain scroll pans";
    EXPECT_EQ(zooms.count(), 0);
}

TEST(CanvasController, KeysZoomInStepsAboutTheCentreOfTheView) {
    const struct {
        double from;
        bool in;
        double to;
    } steps[] = {{1, true, 1.5},    {1, false, 0.75},   {1.0004, true, 1.5},
                 {0.9, true, 1},    {0.9, false, 0.75}, {8, true, 8},
                 {0.1, false, 0.1}, {0.05, true, 0.1},  {12, false, 8}};
    for (const auto& s : steps)
        EXPECT_EQ(CanvasController::zoomStep(s.from, s.in), s.to)
            << s.from << (s.in ? " in" : " out");
    CanvasController c;
    c.setViewportSize({800, 600});
    c.setPan({100, 50});
    const QPointF centre = c.viewportCenterInCanvas();
    c.zoomAboutCentre(3);
    EXPECT_EQ(c.zoom(), 3);
    EXPECT_EQ(c.viewportCenterInCanvas(), centre);
    c.zoomAboutCentre(100);
    EXPECT_EQ(c.zoom(), 8);
}

TEST(CanvasController, FitCentresContentWithinLimits) {
    struct Case {
        const char* what;
        CanvasState state;
        double zoom;
        QPointF pan;
    };
    const std::vector<Case> cases{
        {"flipped frame, exact fit", withFrames({{880, 580, -880, -580}}), 1, {60, 60}},
        {"small content stops at 4", withFrames({{5, 5, 10, 10}}), 4, {460, 310}},
        {"huge content stops at 0.1", withFrames({{0, 0, 100000, 10}}), 0.1, {-4500, 349.5}},
        {"a single point", withFrames({{10, 20, 0, 0}}), 4, {460, 270}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CanvasController c;
        c.setViewportSize({1000, 700});
        c.fitToContent(k.state);
        EXPECT_DOUBLE_EQ(c.zoom(), k.zoom);
        EXPECT_NEAR(c.pan().x(), k.pan.x(), 1e-9);
        EXPECT_NEAR(c.pan().y(), k.pan.y(), 1e-9);
    }
    CanvasController c;
    c.setZoom(3);
    c.fitToContent(withFrames({{0, 0, 10, 10}}));
    EXPECT_EQ(c.zoom(), 3) << "no view size yet: nothing changes";
    c.fitToContent(CanvasState());
    EXPECT_EQ(c.zoom(), 1) << "an empty canvas resets even without a view size";
}

TEST(CanvasController, AStoredViewThatBreaksTheMappingIsReadAsOne) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double stored : {0.0, -2.0, nan, std::numeric_limits<double>::infinity()}) {
        CanvasState state;
        state.zoom = stored;
        state.panX = 5;
        state.panY = nan;
        CanvasController c;
        c.takeView(state);
        EXPECT_EQ(c.zoom(), 1) << stored;
        EXPECT_EQ(c.pan(), QPointF(5, 0)) << stored;
    }
}
