#include "shapes/ShapeGeometry.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

void expectNear(QPointF actual, QPointF expected, const char* what, double eps = 1e-9) {
    EXPECT_NEAR(actual.x(), expected.x(), eps) << what;
    EXPECT_NEAR(actual.y(), expected.y(), eps) << what;
}

} // namespace

TEST(ShapeGeometry, ShaftStopsShortOfItsHeadsAndHeadsPointAlongTheSegment) {
    const QPainterPath both = linearBody({0, 0}, {100, 0}, 3, true, true);
    expectNear(both.elementAt(0), {8.4, 0}, "start inset");
    expectNear(both.elementAt(1), {91.6, 0}, "end inset");
    expectNear(linearBody({0, 0}, {100, 0}, 3, false, false).elementAt(1), {100, 0}, "no head");
    // Shorter than the inset: the shaft vanishes into a point, the head stays whole.
    expectNear(linearBody({0, 0}, {6, 0}, 3, false, true).currentPosition(), {0, 0}, "short");
    EXPECT_NEAR(arrowHead({0, 0}, {6, 0}, 3).boundingRect().width(), 12 * std::cos(headHalfAngle),
                1e-9);
    EXPECT_DOUBLE_EQ(segmentMetrics({0, 0}, {500, 0}, 20).head, 80) << "heads grow with lines";
    expectNear(arrowHead({100, 0}, {0, 0}, 3).elementAt(0), {0, 0}, "the tip");
    EXPECT_GT(arrowHead({100, 0}, {0, 0}, 3).elementAt(1).x, 0) << "pointing left";
    // A zero-length segment has no direction: its head points along +x, and nothing divides
    // by its length.
    EXPECT_LT(arrowHead({5, 5}, {5, 5}, 3).elementAt(1).x, 5);
    EXPECT_EQ(segmentMetrics({5, 5}, {5, 5}, 3).unit, QPointF(0, 0));
}

TEST(ShapeGeometry, CalloutPointerStopsAtTheHeadBorder) {
    const double s = std::sqrt(0.5);
    struct Case {
        const char* what;
        CalloutHead head;
        QPointF unit;
        double length;
        double expected;
    };
    const double diagonal = 1 / std::sqrt(std::pow(s / 40, 2) + std::pow(s / 22, 2));
    for (const Case& k : {
             Case{"rect, horizontal", CalloutHead::rect, {1, 0}, 500, 40},
             Case{"rect, diagonal: the nearer side", CalloutHead::rect, {s, s}, 500, 22 / s},
             Case{"circle, 45°", CalloutHead::circle, {s, s}, 500, diagonal},
             Case{"start inside the head", CalloutHead::circle, {1, 0}, 10, 10},
             Case{"no direction", CalloutHead::circle, {0, 0}, 0.0001, 0.0001},
         }) {
        EXPECT_NEAR(calloutHeadDistance(k.unit, k.length, k.head, 40, 22), k.expected, 1e-9)
            << k.what;
    }
    ShapeItem callout = makeShape(ShapeKind::callout, {0, 0, 100, 0});
    callout.calloutHead = CalloutHead::rect;
    const QPainterPath pointer = calloutPointer(callout, {0, 0}, {100, 0});
    expectNear(pointer.elementAt(1), {60, 0}, "80-wide rect head");
    EXPECT_EQ(calloutHeadBox(callout, {100, 0}), QRectF(60, -22, 80, 44));
}

TEST(ShapeGeometry, HitBandsReachPastTheEnds) {
    ShapeItem line = makeShape(ShapeKind::line, {100, 100, 100, 0});
    line.lineWidth = 3;
    struct Probe {
        QPointF point;
        bool hit;
    };
    for (const Probe& p :
         {Probe{{150, 111.9}, true}, Probe{{150, 112.1}, false}, Probe{{88.1, 100}, true},
          Probe{{87.9, 100}, false}, Probe{{211.9, 95}, true}, Probe{{212.1, 95}, false}}) {
        EXPECT_EQ(shapeContains(line, p.point), p.hit) << p.point.x() << "," << p.point.y();
    }
    line.lineWidth = 20;
    EXPECT_TRUE(shapeContains(line, {150, 119.9}));
    EXPECT_FALSE(shapeContains(line, {150, 120.1}));
    // A diagonal band follows the line, not its frame.
    const ShapeItem diagonal = makeShape(ShapeKind::arrow, {0, 0, 100, 100});
    EXPECT_TRUE(shapeContains(diagonal, {50, 50}));
    EXPECT_FALSE(shapeContains(diagonal, {90, 10}));
    // Unfilled boxes are hit anywhere inside, edges included.
    const ShapeItem box = makeShape(ShapeKind::ellipse, {10, 10, -10, 20});
    EXPECT_TRUE(shapeContains(box, {0, 10}));
    EXPECT_TRUE(shapeContains(box, {10, 30}));
    EXPECT_FALSE(shapeContains(box, {11, 10}));
}

TEST(ShapeGeometry, ACalloutIsHitOnItsHeadWhereThePointerEntersIt) {
    // Head 80 × 44 at (300, 100), pointer from the left: the band and the head box overlap
    // around the head's centre, which must still count as a hit.
    const ShapeItem callout = makeShape(ShapeKind::callout, {100, 100, 200, 0});
    for (QPointF p :
         {QPointF(300, 100), QPointF(290, 105), QPointF(351.9, 133.9), QPointF(150, 100)}) {
        EXPECT_TRUE(shapeContains(callout, p)) << p.x() << "," << p.y();
    }
    EXPECT_FALSE(shapeContains(callout, {352.1, 100}));
    EXPECT_FALSE(shapeContains(callout, {200, 140}));
}
