#include "canvas/SelectionGestures.h"

#include "canvas/CanvasFixture.h"

using namespace pintora;
using namespace pintora::test;

namespace {
struct SelectionTest : CanvasFixture {
    QUuid a = add(makeShape(ShapeKind::rect, {0, 0, 100, 100}));
    QUuid b = add(textAt({50, 50, 100, 100}));
    QUuid c = add(makeShape(ShapeKind::line, {300, 300, -100, -20}));
};
} // namespace

TEST_F(SelectionTest, TopmostItemUsesHalfOpenFrames) {
    struct Probe {
        QPointF point;
        std::optional<QUuid> expected;
    };
    for (const Probe& p :
         {Probe{{60, 60}, b}, Probe{{0, 0}, a}, Probe{{100, 10}, std::nullopt},
          Probe{{150, 60}, std::nullopt}, Probe{{299.9, 299.9}, c}, Probe{{300, 290}, {}}}) {
        EXPECT_EQ(topmostItemId(document.state(), p.point), p.expected)
            << p.point.x() << "," << p.point.y();
    }
    selection = {a, b};
    tapItem(selection, b, true);
    tapItem(selection, c, true);
    EXPECT_EQ(selection, (Selection{a, c})) << "shift toggles";
}

TEST_F(SelectionTest, MarqueeSelectsWhatItMeetsInCanvasUnits) {
    controller.setZoom(2);
    selection = {c};
    MarqueeGesture marquee;
    marquee.change({10, 10}, {12, 12});
    EXPECT_FALSE(marquee.rect()) << "not yet 4 points away";
    marquee.change({110, 60}, {10, 10}); // dragged up-left
    EXPECT_EQ(marquee.rect(), QRectF(10, 10, 100, 50));
    marquee.change({110, 60}, {109, 59});
    EXPECT_TRUE(marquee.rect()) << "once shown it stays, even back near the press";
    marquee.change({110, 60}, {10, 10});
    marquee.end(context); // canvas (5, 5, 50, 25): meets a only
    EXPECT_EQ(selection, Selection{a});

    marquee.change({1000, 1000}, {1100, 1100});
    marquee.end(context);
    EXPECT_TRUE(selection.isEmpty()) << "a marquee over empty space empties the selection";
    selection = {b};
    marquee.change({10, 10}, {13, 10});
    marquee.end(context);
    EXPECT_EQ(selection, Selection{b}) << "a short drag leaves the selection alone";
    CanvasState dot;
    dot.items.append(makeShape(ShapeKind::line, {5, 5, 0, 0}));
    EXPECT_EQ(itemsMeeting(dot, {0, 0, 10, 10}).size(), 1) << "zero-length lines can be caught";
}

TEST_F(SelectionTest, AnItemDragTakesOverTheSelectionOrWithShiftJoinsIt) {
    selection = {a, c};
    ItemDrag drag;
    drag.change(context, b, {10, 0}, false);
    EXPECT_EQ(selection, Selection{b});
    EXPECT_EQ(drag.liveOffset(), QSizeF(10, 0));
    EXPECT_EQ(frame(b), QRectF(50, 50, 100, 100)) << "nothing moves before the release";
    drag.end(context, b, {30, 5});
    EXPECT_EQ(frame(b), QRectF(80, 55, 100, 100));
    EXPECT_EQ(frame(a), QRectF(0, 0, 100, 100));

    selection = {a, c};
    drag.change(context, b, {0, 10}, true);
    EXPECT_EQ(selection, (Selection{a, b, c}));
    EXPECT_EQ(drag.companionOffset(a, selection), QSizeF(0, 10));
    EXPECT_EQ(drag.companionOffset(b, selection), QSizeF(0, 0))
        << "the dragged item follows itself";
    drag.end(context, b, {0, 10});
    EXPECT_EQ(frame(c), QRectF(300, 310, -100, -20));
    EXPECT_EQ(drag.liveOffset(), QSizeF(0, 0)) << "none after the release";
}

TEST_F(SelectionTest, AResizeIsOneStepAndOnlyWhenSomethingChanged) {
    ItemDrag drag;
    drag.change(context, a, {12, 0}, false);
    drag.end(context, a, {0, 0});
    resizeItemLive(document, a, {0, 0, 100, 100});
    commitResizeUndo(document, document.undoStack(), a, {0, 0, 100, 100});
    commitResizeUndo(document, document.undoStack(), QUuid::createUuid(), {});
    EXPECT_EQ(steps(), 0) << "a drag or resize back to the start, or of a vanished item";

    resizeItemLive(document, b, {50, 50, -160, 130});
    EXPECT_EQ(frame(b), QRectF(50, 50, -160, 130)) << "stored as given while dragging";
    commitResizeUndo(document, document.undoStack(), b, {50, 50, 100, 100});
    document.undoStack()->undo();
    EXPECT_EQ(frame(b), QRectF(50, 50, 100, 100));
    // Without an undo history the new frame simply stays.
    resizeItemLive(document, b, {0, 0, 10, 10});
    commitResizeUndo(document, nullptr, b, {50, 50, 160, 130});
    EXPECT_EQ(frame(b), QRectF(0, 0, 10, 10));
}
