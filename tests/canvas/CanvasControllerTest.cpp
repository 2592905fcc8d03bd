#include "canvas/CanvasController.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>

using namespace pintora;

namespace {

CanvasState withFrames(std::initializer_list<QRectF> frames) {
    CanvasState state;
    for (const QRectF& f : frames) {
        ImageItem image;
        image.frame = f;
        state.items.append(image);
    }
    return state;
}

} // namespace

TEST(CanvasController, MapsBothWaysAndFindsTheVisibleCentre) {
    CanvasController c;
    c.setZoom(2);
    c.setPan({100, 50});
    EXPECT_EQ(c.viewPoint({10, 10}), QPointF(120, 70));
    EXPECT_EQ(c.canvasPoint({120, 70}), QPointF(10, 10));
    EXPECT_EQ(c.canvasRect(QRectF(10, 10, 100, 50)), QRectF(-45, -20, 50, 25));
    c.setViewportSize({1000, 700});
    EXPECT_EQ(c.viewportCenterInCanvas(), QPointF(200, 150));
    // Before the first layout the centre is the canvas point under the view's corner.
    c.setViewportSize(QSizeF(0, 0));
    EXPECT_EQ(c.viewportCenterInCanvas(), QPointF(-50, -25));
}

TEST(CanvasController, ZoomingClampsAndNeverPans) {
    struct Case {
        const char* what;
        double zoom;
        std::function<void(CanvasController&)> act;
        double expected;
    };
    const std::vector<Case> cases{
        {"ctrl-scroll up", 1, [](auto& c) { c.applyScroll(99, 10, true); }, 1.1},
        {"ctrl-scroll, negative factor", 1, [](auto& c) { c.applyScroll(0, -250, true); }, 0.1},
        {"pinch out", 6, [](auto& c) { c.applyMagnify(0.5); }, 8.0},
        {"pinch in", 0.15, [](auto& c) { c.applyMagnify(-0.5); }, 0.1},
        {"toolbar above the range", 1, [](auto& c) { c.setToolbarZoom(20); }, 8.0},
        {"toolbar zero", 1, [](auto& c) { c.setToolbarZoom(0); }, 0.1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CanvasController c;
        c.setZoom(k.zoom);
        c.setPan({30, -40});
        k.act(c);
        EXPECT_NEAR(c.zoom(), k.expected, 1e-12);
        EXPECT_EQ(c.pan(), QPointF(30, -40));
    }
    CanvasController c;
    QSignalSpy zooms(&c, &CanvasController::zoomChanged);
    c.applyScroll(-12, 30, false);
    EXPECT_EQ(c.pan(), QPointF(-12, 30)) << "a plain scroll pans";
    EXPECT_EQ(zooms.count(), 0);
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
        {"union of two", withFrames({{-100, 0, 100, 50}, {0, 200, 780, 380}}), 1, {160, 60}},
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
    c.setPan({7, 8});
    c.fitToContent(withFrames({{0, 0, 10, 10}}));
    EXPECT_EQ(c.zoom(), 3) << "no view size yet: nothing changes";
    EXPECT_EQ(c.pan(), QPointF(7, 8));
    c.fitToContent(CanvasState());
    EXPECT_EQ(c.zoom(), 1) << "an empty canvas resets even without a view size";
    EXPECT_EQ(c.pan(), QPointF(0, 0));
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
    CanvasState state;
    state.zoom = 12; // outside the interactive range, but usable: taken as stored
    CanvasController c;
    c.takeView(state);
    EXPECT_EQ(c.zoom(), 12);
}
