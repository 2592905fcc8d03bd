#include "canvas/DrawingGesture.h"

#include "canvas/CanvasFixture.h"
#include "canvas/MoveMode.h"
#include "canvas/TextEditSession.h"
#include "canvas/TextMetrics.h"
#include "support/TestFiles.h"

#include <cmath>

using namespace pintora;
using namespace pintora::test;

namespace {

struct DrawingTest : CanvasFixture {
    MoveMode moveMode;
    TextEditSession textEdit;
    DrawingGesture drawing{moveMode, textEdit};

    // A drag in view points from `from` to `to`, with a change at every step of the way.
    void drag(QPointF from, QPointF to, bool shift = false) {
        for (int i = 1; i <= 3; ++i) {
            const QPointF t = (to - from) * i / 3;
            drawing.change(context, from + t, QSizeF(t.x(), t.y()), shift);
        }
        drawing.end(context, to, QSizeF(to.x() - from.x(), to.y() - from.y()), shift);
    }
    const CanvasItem& last() const { return document.state().items.last(); }
};

} // namespace

TEST_F(DrawingTest, EachToolDrawsItsFrameWithTheDefaults) {
    CanvasState state = document.state();
    state.defaultLineWidth = 14;
    state.defaultFontSize = 20;
    state.defaultNoteStyle = TextStyle::success;
    document.setState(state);
    defaults.setDefaultStrokeHex(QStringLiteral("#123456"));
    defaults.setDefaultTextHex(QStringLiteral("#00FF00"));
    defaults.setDefaultCalloutSize(150);
    const double lh = lineHeight(20);
    const QSizeF card = noteMinimumSize(20);
    struct Case {
        const char* what;
        Tool tool;
        QPointF from, to;
        bool shift;
        QRectF frame;
    };
    const std::vector<Case> cases{
        {"box, normalised", Tool::rect, {100, 100}, {40, 160}, false, {40, 100, 60, 60}},
        {"segment, directed", Tool::callout, {300, 100}, {240, 160}, false, {300, 100, -60, 60}},
        {"Shift: a square", Tool::ellipse, {500, 100}, {530, 50}, true, {500, 50, 50, 50}},
        {"text click", Tool::text, {200, 300}, {201, 301}, false, {200, 300 - lh / 2, 8, lh}},
        {"text drag", Tool::text, {50, 450}, {150, 452}, false, {50, 450, 100, lh}},
        {"note click", Tool::note, {700, 100}, {702, 101}, false, {{700, 100}, card}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        tool = k.tool;
        drag(k.from, k.to, k.shift);
        EXPECT_EQ(last().frame(), k.frame);
        EXPECT_EQ(selection, Selection{last().id()});
        // Shape tools stay for the next shape; the others hand over to the select tool.
        EXPECT_EQ(tool, k.tool == Tool::rect || k.tool == Tool::ellipse ? k.tool : Tool::select);
    }
    const QList<CanvasItem>& items = document.state().items;
    const ShapeItem& callout = *items[1].shape();
    EXPECT_EQ(std::tuple(callout.strokeHex, callout.lineWidth, callout.calloutSize),
              std::tuple(QStringLiteral("#123456"), 14.0, 150.0));
    EXPECT_FALSE(items[3].text()->wraps) << "a clicked text grows with its line";
    EXPECT_EQ(items[3].text()->colorHex, QStringLiteral("#00FF00")) << "the text colour";
    EXPECT_TRUE(items[4].text()->wraps);
    EXPECT_EQ(items[5].text()->colorHex,
              QLatin1StringView(lookOf(TextStyle::success).foregroundHex));
    EXPECT_TRUE(textEdit.isEditing(items[5].id()));

    const QPointF s(100, 100);
    EXPECT_EQ(constrainedEnd(Tool::note, s, s + QPointF(0, -5)), QPointF(105, 95))
        << "a zero difference counts as positive";
    const QPointF flat = constrainedEnd(Tool::arrow, s, s + QPointF(100, 30));
    EXPECT_NEAR(flat.x(), 100 + std::hypot(100, 30), 1e-9);
    EXPECT_NEAR(flat.y(), 100, 1e-9);
    tool = Tool::text;
    drawing.change(context, {51, 52}, {1, 2}, false);
    EXPECT_FALSE(drawing.draftItem()) << "no text box within 4 points of the press";
}

TEST_F(DrawingTest, TheKeyboardPlacesWhatADragOverTheViewsCentreMakesEvenOverAnItem) {
    controller.setZoom(2);
    controller.setPan({100, 0});
    const QUuid under = add(makeShape(ShapeKind::rect, {0, 0, 400, 400}));
    const QPointF centre(300, 200); // canvas (100, 100)
    tool = Tool::rect;
    drawing.place(context, centre);
    EXPECT_EQ(last().frame(), QRectF(60, 75, 80, 50)) << "160 by 100 view points at zoom 2";
    EXPECT_NE(last().id(), under);
    EXPECT_EQ(std::tuple(selection, tool), std::tuple(Selection{last().id()}, Tool::rect));
    tool = Tool::arrow;
    drawing.place(context, centre);
    EXPECT_EQ(last().frame(), QRectF(60, 125, 80, -50)) << "a segment up and to the right";
    tool = Tool::note;
    drawing.place(context, centre);
    EXPECT_TRUE(last().text() && textEdit.isEditing(last().id()));
    EXPECT_EQ(last().frame().topLeft(), QPointF(100, 100)) << "as a click at the centre";
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(steps(), 3) << "one step for each placed item";
}

TEST_F(DrawingTest, ClicksSelectItemsInsteadOfDrawing) {
    tool = Tool::rect;
    drag({10, 10}, {12, 12});
    EXPECT_TRUE(document.state().items.isEmpty()) << "a click on empty canvas";
    const QUuid shape = add(makeShape(ShapeKind::rect, {0, 0, 50, 50}));
    tool = Tool::arrow;
    drag({10, 10}, {13, 12}); // a wobble on the item moves nothing
    EXPECT_EQ(frame(shape), QRectF(0, 0, 50, 50));
    EXPECT_EQ(steps(), 0);
    EXPECT_EQ(selection, Selection{shape});
    EXPECT_EQ(tool, Tool::select);
    // A click on a picture with a shape tool draws nothing and selects nothing.
    ImageItem image{.frame = QRectF(100, 0, 50, 50)};
    add(image);
    selection.clear();
    tool = Tool::line;
    drag({110, 10}, {111, 10});
    EXPECT_TRUE(selection.isEmpty());
    EXPECT_EQ(tool, Tool::line);
    EXPECT_EQ(document.state().items.size(), 2);
}

TEST_F(DrawingTest, DragsStartingOnAnItemMoveItOrTheSelectionUnlessItIsAPicture) {
    ImageItem image{.frame = QRectF(0, 0, 400, 300)};
    add(image);
    const QUuid a = add(textAt({500, 0, 100, 50}, "n", TextStyle::warning));
    const QUuid b = add(makeShape(ShapeKind::rect, {700, 0, 100, 50}));
    const QUuid c = add(makeShape(ShapeKind::rect, {900, 0, 100, 50}));
    tool = Tool::ellipse;
    drag({50, 50}, {150, 100});
    EXPECT_EQ(last().shape()->kind, ShapeKind::ellipse) << "drawn over the screenshot";

    controller.setZoom(0.5);
    tool = Tool::line;
    selection = {b};
    drag({260, 10}, {300, 10}); // canvas (520, 20): on the note
    EXPECT_EQ(frame(a), QRectF(580, 0, 100, 50)) << "40 view points at zoom 0.5";
    EXPECT_EQ(frame(b), QRectF(700, 0, 100, 50)) << "an unselected start replaces the selection";
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(selection, Selection{a});

    controller.setZoom(1);
    tool = Tool::rect;
    selection = {a, c};
    const CanvasState moved = document.state();
    const int before = steps();
    drag({590, 10}, {610, 10});
    EXPECT_EQ(frame(a), QRectF(600, 0, 100, 50));
    EXPECT_EQ(frame(c), QRectF(920, 0, 100, 50));
    EXPECT_EQ(steps(), before + 1);
    document.undoStack()->undo();
    EXPECT_EQ(document.state(), moved) << "one undo puts everything back";
}

TEST_F(DrawingTest, RedactIsOneUndoableStepOnThePicturesUnderTheBoxAndShiftBlurs) {
    QImage stripes(40, 40, QImage::Format_RGB32); // striped over a gradient
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            stripes.setPixel(x, y, qRgb(x * 6, y * 6, x % 2 * 255));
    ImageItem image{.frame = QRectF(0, 0, 40, 40), .pngData = test::encodePng(stripes)};
    add(image);
    tool = Tool::redact;
    drag({100, 100}, {200, 200}); // beside the picture
    drag({5, 5}, {6, 5});         // a click
    EXPECT_EQ(steps(), 0);

    drag({0, 0}, {30, 30});
    EXPECT_EQ(steps(), 1);
    EXPECT_EQ(tool, Tool::redact) << "more boxes can follow";
    const QByteArray pixelated = document.state().items[0].image()->pngData;
    document.undoStack()->undo();
    EXPECT_EQ(document.state().items[0], CanvasItem(image)) << "undo brings the original back";

    drag({0, 0}, {30, 30}, /*shift=*/true);
    EXPECT_NE(QImage::fromData(document.state().items[0].image()->pngData, "PNG"),
              QImage::fromData(pixelated, "PNG"))
        << "Shift blurs instead of pixelating";

    // A picture too large to change: nothing is done, and the user is told.
    QStringList told;
    context.tell = [&](const QString& message) { told << message; };
    image.pngData = test::pngClaimingSize(40'000, 40'000);
    document.setState(CanvasState());
    add(image);
    drag({0, 0}, {30, 30});
    EXPECT_EQ(document.state().items[0], CanvasItem(image));
    EXPECT_EQ(told, QStringList{"A picture under the box is too large to change: it was not "
                                "redacted."});
}
