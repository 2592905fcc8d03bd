#include "shapes/ResizeHandles.h"

#include "canvas/CanvasController.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(ResizeHandles, ResultsOfHandleDrags) {
    using H = ResizeHandle;
    struct Case {
        const char* what;
        H handle;
        QRectF base;
        QPointF delta;
        bool lock;
        QRectF expected;
    };
    const QRectF wide(0, 0, 200, 100);
    const std::vector<Case> cases{
        {"east past the west edge", H::e, {0, 0, 100, 50}, {-150, 0}, false, {0, 0, -50, 50}},
        {"north-west, free", H::nw, {10, 10, 100, 50}, {5, -5}, false, {15, 5, 95, 55}},
        {"unlocked corner", H::se, wide, {100, 10}, false, {0, 0, 300, 110}},
        {"locked corner: the larger scale", H::se, wide, {100, 10}, true, {0, 0, 300, 150}},
        {"locked east centres the height", H::e, wide, {50, 0}, true, {0, -12.5, 250, 125}},
        {"locked north centres the width", H::n, wide, {0, -50}, true, {-50, -50, 300, 150}},
        {"locked west past east", H::w, wide, {300, 0}, true, {200, 25, 100, 50}},
        {"locked corner past the opposite", H::nw, wide, {300, 200}, true, wide},
        {"locked ne grows from sw", H::ne, wide, {200, 0}, true, {0, -100, 400, 200}},
        {"a flat base has no aspect", H::se, {0, 0, 100, 0}, {10, 10}, true, {0, 0, 110, 10}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(resizedFrame(k.handle, k.base, k.delta, k.lock), k.expected) << k.what;
    EXPECT_EQ(movedEndpoint(Endpoint::start, {10, 10, 100, 0}, {150, 0}), QRectF(160, 10, -50, 0))
        << "the line may reverse";
}

TEST(ResizeHandles, ADragWorksFromItsStartingFrame) {
    HandleDrag drag;
    EXPECT_FALSE(drag.finish()) << "no change, nothing to commit";
    // The item's frame is written live, but each change starts from the frame the drag began
    // with; at zoom 2, 60 view points are 30 canvas points.
    const QRectF grown = drag.resize(ResizeHandle::e, {0, 0, 100, 50}, {40, 0}, 2, false);
    EXPECT_EQ(drag.resize(ResizeHandle::e, grown, {60, 0}, 2, false), QRectF(0, 0, 130, 50));
    EXPECT_EQ(drag.finish(), QRectF(0, 0, 100, 50));
    // The resize base is standardised; an endpoint base is the directed frame as stored.
    EXPECT_EQ(drag.resize(ResizeHandle::se, {100, 50, -100, -50}, {10, 0}, 1, false),
              QRectF(0, 0, 110, 50));
    drag.finish();
    EXPECT_EQ(drag.moveEndpoint(Endpoint::end, {100, 50, -100, -50}, {10, 0}, 1),
              QRectF(100, 50, -90, -50));
}

TEST(ResizeHandles, HandlesSitOnTheViewRectangle) {
    CanvasController c;
    c.setZoom(2);
    c.setPan({10, 20});
    const auto box = resizeHandlePositions({50, 10, -50, 20}, c, {5, 5});
    EXPECT_EQ(box[0], QPointF(15, 45)) << "nw of the standardised frame";
    EXPECT_EQ(box[3], QPointF(115, 65)) << "e";
    const auto ends = endpointHandlePositions({50, 10, -50, 20}, c);
    EXPECT_EQ(ends[0], QPointF(110, 40)) << "start on the stored origin";
    // Pictures keep their aspect unless Shift is held; shapes only while it is.
    EXPECT_TRUE(aspectLocked(true, false));
    EXPECT_FALSE(aspectLocked(true, true));
    EXPECT_TRUE(aspectLocked(false, true));
}
