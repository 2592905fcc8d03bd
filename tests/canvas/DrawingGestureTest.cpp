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
    void drag(QPointF from, QPointF to, bool shift = false, int changes = 3) {
        for (int i = 1; i <= changes; ++i) {
            const QPointF at = from + (to - from) * i / changes;
            const QPointF t = at - from;
            drawing.change(context, at, QSizeF(t.x(), t.y()), shift);
        }
        const QPointF t = to - from;
        drawing.end(context, to, QSizeF(t.x(), t.y()), shift);
    }
    const CanvasItem& last() const { return document.state().items.last(); }
};

} // namespace

TEST_F(DrawingTest, BoxesAreNormalisedAndSegmentsKeepTheirDirection) {
    tool = Tool::rect;
    drag({100, 100}, {40, 160});
    EXPECT_EQ(last().frame(), QRectF(40, 100, 60, 60));
    EXPECT_EQ(undoText(), QStringLiteral("Add Rect"));
    tool = Tool::arrow;
    drag({300, 100}, {240, 160});
    EXPECT_EQ(last().frame(), QRectF(300, 100, -60, 60));
    EXPECT_TRUE(last().shape()->hasEndHead);
    EXPECT_FALSE(last().shape()->hasStartHead);
    EXPECT_EQ(selection, Selection{last().id()});
    EXPECT_EQ(undoText(), QStringLiteral("Add Arrow"));
    EXPECT_EQ(tool, Tool::arrow) << "shape tools stay active";
}

TEST_F(DrawingTest, NewShapesTakeTheDefaults) {
    CanvasState state = document.state();
    state.defaultLineWidth = 14;
    document.setState(state);
    defaults.setDefaultStrokeHex(QStringLiteral("#123456"));
    defaults.setDefaultCalloutSize(150);
    tool = Tool::callout;
    drag({0, 0}, {200, 100});
    const ShapeItem& callout = *last().shape();
    EXPECT_EQ(callout.kind, ShapeKind::callout);
    EXPECT_EQ(callout.strokeHex, QStringLiteral("#123456"));
    EXPECT_EQ(callout.lineWidth, 14);
    EXPECT_EQ(callout.calloutSize, 150);
    EXPECT_EQ(tool, Tool::select) << "a callout hands over to the select tool";
    settings.setValue(UserDefaults::defaultCalloutSizeKey, QStringLiteral("big"));
    tool = Tool::callout;
    drag({0, 300}, {200, 400});
    EXPECT_EQ(last().shape()->calloutSize, 80) << "a stored size that is not a number";
}

TEST_F(DrawingTest, ShiftMakesSquaresAndSnapsDirections) {
    const QPointF s(100, 100);
    EXPECT_EQ(constrainedEnd(Tool::rect, s, s + QPointF(30, -50)), QPointF(150, 50));
    EXPECT_EQ(constrainedEnd(Tool::note, s, s + QPointF(0, -5)), QPointF(105, 95))
        << "a zero difference counts as positive";
    const QPointF flat = constrainedEnd(Tool::arrow, s, s + QPointF(100, 30));
    EXPECT_NEAR(flat.x(), 100 + std::hypot(100, 30), 1e-9);
    EXPECT_NEAR(flat.y(), 100, 1e-9);
    const QPointF diagonal = constrainedEnd(Tool::line, s, s + QPointF(100, 60));
    EXPECT_NEAR(diagonal.x() - 100, diagonal.y() - 100, 1e-9);
    const QPointF up = constrainedEnd(Tool::callout, s, s + QPointF(-10, -200));
    EXPECT_NEAR(up.x(), 100, 1e-9);

    tool = Tool::ellipse;
    drag({100, 100}, {130, 50}, true);
    EXPECT_EQ(last().frame(), QRectF(100, 50, 50, 50));
}

TEST_F(DrawingTest, ClicksSelectItemsInsteadOfDrawing) {
    tool = Tool::rect;
    drag({10, 10}, {12, 12});
    EXPECT_TRUE(document.state().items.isEmpty()) << "a 3-point drag on empty canvas";
    EXPECT_EQ(steps(), 0);
    const QUuid shape = add(shapeAt(ShapeKind::rect, {0, 0, 50, 50}));
    drag({10, 10}, {12, 12});
    EXPECT_EQ(selection, Selection{shape});
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(document.state().items.size(), 1);
    // A click on a picture with a shape tool draws nothing and selects nothing.
    ImageItem image;
    image.frame = QRectF(100, 0, 50, 50);
    add(image);
    selection.clear();
    tool = Tool::line;
    drag({110, 10}, {111, 10});
    EXPECT_TRUE(selection.isEmpty());
    EXPECT_EQ(tool, Tool::line);
}

TEST_F(DrawingTest, DragsStartingOnAnItemMoveItUnlessItIsAPicture) {
    ImageItem image;
    image.frame = QRectF(0, 0, 400, 300);
    image.pngData = test::pngBytes(4, 3);
    add(image);
    const QUuid note = add(textAt({500, 0, 200, 100}, "n", TextStyle::warning));
    tool = Tool::ellipse;
    drag({50, 50}, {150, 100});
    EXPECT_EQ(last().shape()->kind, ShapeKind::ellipse) << "drawn over the screenshot";
    EXPECT_EQ(document.state().items.size(), 3);

    controller.setZoom(0.5);
    tool = Tool::line;
    const int before = steps();
    drag({260, 10}, {300, 10}); // canvas (520, 20): on the note
    EXPECT_EQ(frame(note), QRectF(580, 0, 200, 100)) << "40 view points at zoom 0.5";
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(undoText(), QStringLiteral("Move"));
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(selection, Selection{note});
    EXPECT_FALSE(drawing.draftItem());
    document.undoStack()->undo();
    EXPECT_EQ(frame(note), QRectF(500, 0, 200, 100));
    document.undoStack()->redo();
    EXPECT_EQ(frame(note), QRectF(580, 0, 200, 100));
}

TEST_F(DrawingTest, RedactIsOneUndoableStepOnThePicturesUnderTheBoxAndShiftBlurs) {
    QImage stripes(40, 40, QImage::Format_RGB32); // striped over a gradient
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) stripes.setPixel(x, y, qRgb(x * 6, y * 6, x % 2 * 255));
    ImageItem image;
    image.frame = QRectF(0, 0, 40, 40);
    image.pngData = test::encodePng(stripes);
    add(image);
    tool = Tool::redact;
    const int before = steps();
    drag({100, 100}, {200, 200}); // beside the picture
    drag({5, 5}, {6, 5});         // a click
    EXPECT_EQ(steps(), before);

    drag({0, 0}, {30, 30});
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(undoText(), QStringLiteral("Redact"));
    EXPECT_EQ(tool, Tool::redact) << "more boxes can follow";
    EXPECT_FALSE(drawing.draftItem());
    const QByteArray pixelated = document.state().items[0].image()->pngData;
    EXPECT_NE(pixelated, image.pngData);
    document.undoStack()->undo();
    EXPECT_EQ(document.state().items[0], CanvasItem(image)) << "undo brings the original back";

    drag({0, 0}, {30, 30}, /*shift=*/true);
    const QImage blurred = QImage::fromData(document.state().items[0].image()->pngData, "PNG");
    const QImage blocks = QImage::fromData(pixelated, "PNG");
    EXPECT_EQ(blocks.pixel(2, 2), blocks.pixel(8, 8)) << "one block";
    EXPECT_NE(blurred, blocks) << "Shift blurs instead of pixelating";
}

TEST_F(DrawingTest, MoveModeMovesTheWholeSelectionWhenTheItemIsPartOfIt) {
    const QUuid a = add(textAt({0, 0, 100, 50}));
    const QUuid b = add(shapeAt(ShapeKind::rect, {200, 0, 100, 50}));
    const QUuid c = add(shapeAt(ShapeKind::rect, {400, 0, 100, 50}));
    tool = Tool::rect;
    selection = {b};
    drag({10, 10}, {10, 60});
    EXPECT_EQ(frame(a), QRectF(0, 50, 100, 50));
    EXPECT_EQ(frame(b), QRectF(200, 0, 100, 50)) << "an unselected start replaces the selection";

    tool = Tool::rect;
    selection = {a, c};
    const CanvasState before = document.state();
    drag({10, 60}, {30, 60});
    EXPECT_EQ(frame(a), QRectF(20, 50, 100, 50));
    EXPECT_EQ(frame(c), QRectF(420, 0, 100, 50));
    EXPECT_EQ(frame(b), QRectF(200, 0, 100, 50));
    EXPECT_EQ(selection, Selection{a});
    document.undoStack()->undo();
    EXPECT_EQ(document.state(), before) << "one undo puts everything back";
}

TEST_F(DrawingTest, AWobbleOnAnItemMovesNothingAndRegistersNothing) {
    const QUuid a = add(textAt({0, 0, 100, 50}));
    tool = Tool::arrow;
    drag({10, 10}, {13, 12});
    EXPECT_EQ(frame(a), QRectF(0, 0, 100, 50));
    EXPECT_EQ(steps(), 0);
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(selection, Selection{a});
}

TEST_F(DrawingTest, TextClickMakesAGrowingLineInEditing) {
    CanvasState state = document.state();
    state.defaultFontSize = 20;
    document.setState(state);
    defaults.setDefaultTextHex(QStringLiteral("#00FF00"));
    tool = Tool::text;
    drag({200, 300}, {201, 301});
    const double lh = lineHeight(20);
    EXPECT_GT(lh, 20);
    const TextItem& text = *last().text();
    EXPECT_EQ(text.frame, QRectF(200, 300 - lh / 2, 8, lh));
    EXPECT_FALSE(text.wraps);
    EXPECT_EQ(text.colorHex, QStringLiteral("#00FF00"));
    EXPECT_TRUE(text.string.isEmpty());
    EXPECT_EQ(undoText(), QStringLiteral("Add Text"));
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(selection, Selection{text.id});
    EXPECT_TRUE(textEdit.isEditing(text.id));
}

TEST_F(DrawingTest, TextDragHasAMinimumBoxAndShowsNothingBeforeItMoves) {
    tool = Tool::text;
    drawing.change(context, {51, 52}, {1, 2}, false);
    EXPECT_FALSE(drawing.draftItem()) << "still within 4 points of the press";
    drawing.change(context, {150, 52}, {100, 2}, false);
    ASSERT_TRUE(drawing.draftItem());
    EXPECT_EQ(drawing.draftItem()->text()->colorHex, defaults.defaultStrokeHex());
    drawing.end(context, {150, 52}, {100, 2}, false);
    const TextItem& text = *last().text();
    EXPECT_EQ(text.frame, QRectF(50, 50, 100, lineHeight(60)));
    EXPECT_TRUE(text.wraps);
    EXPECT_EQ(text.colorHex, QStringLiteral("#000000"));
}

TEST_F(DrawingTest, NotesHaveAMinimumSizeFromTheirFont) {
    for (double fontSize : {20.0, 40.0}) {
        CanvasState state = document.state();
        state.defaultFontSize = fontSize;
        state.defaultNoteStyle = TextStyle::success;
        document.setState(state);
        tool = Tool::note;
        drag({1000, 1000}, {1002, 1001});
        const TextItem& note = *last().text();
        const double height = std::max(2 * lineHeight(fontSize) + 24, 80.0);
        EXPECT_EQ(note.frame, QRectF(1000, 1000, fontSize == 20 ? 220 : 320, height));
        EXPECT_EQ(note.style, TextStyle::success);
        EXPECT_EQ(note.colorHex, QLatin1StringView(lookOf(TextStyle::success).foregroundHex));
        EXPECT_EQ(undoText(), QStringLiteral("Add Note"));
        EXPECT_TRUE(textEdit.isEditing(note.id));
        // Stacked notes: move the new one away so the next click lands on empty canvas.
        state = document.state();
        state.items.last().setFrame(QRectF(-5000, 0, 1, 1));
        document.setState(state);
    }
}

TEST_F(DrawingTest, DraftsFollowThePointerWithoutTouchingTheDocument) {
    tool = Tool::line;
    controller.setZoom(2);
    controller.setPan({100, 0});
    drawing.change(context, {140, 40}, {20, 20}, false);
    ASSERT_TRUE(drawing.draftItem());
    EXPECT_EQ(drawing.draftItem()->frame(), QRectF(10, 10, 10, 10));
    EXPECT_TRUE(document.state().items.isEmpty());
    EXPECT_FALSE(makeDraft(Tool::select, {}, {}, context));
    drawing.end(context, {140, 40}, {20, 20}, false);
    EXPECT_EQ(document.state().items.size(), 1);
    EXPECT_FALSE(drawing.draftItem());
}
