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
    void setDefaultFont(double size, TextStyle noteStyle = TextStyle::plain) {
        CanvasState state = document.state();
        state.defaultFontSize = size;
        state.defaultNoteStyle = noteStyle;
        document.setState(state);
    }
};

} // namespace

TEST_F(DrawingTest, BoxesAreNormalisedAndSegmentsKeepTheirDirection) {
    tool = Tool::rect;
    drag({100, 100}, {40, 160});
    EXPECT_EQ(last().frame(), QRectF(40, 100, 60, 60));
    EXPECT_EQ(undoText(), QStringLiteral("Add Rect"));
    tool = Tool::arrow;
    controller.setZoom(2);
    controller.setPan({100, 0});
    drag({300, 100}, {240, 160});
    EXPECT_EQ(last().frame(), QRectF(100, 50, -30, 30)) << "in canvas units";
    EXPECT_EQ(selection, Selection{last().id()});
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
    EXPECT_EQ(std::tuple(callout.strokeHex, callout.lineWidth, callout.calloutSize),
              std::tuple(QStringLiteral("#123456"), 14.0, 150.0));
    EXPECT_EQ(tool, Tool::select) << "a callout hands over to the select tool";
}

TEST_F(DrawingTest, ShiftMakesSquaresAndSnapsDirections) {
    const QPointF s(100, 100);
    EXPECT_EQ(constrainedEnd(Tool::rect, s, s + QPointF(30, -50)), QPointF(150, 50));
    EXPECT_EQ(constrainedEnd(Tool::note, s, s + QPointF(0, -5)), QPointF(105, 95))
        << "a zero difference counts as positive";
    const QPointF flat = constrainedEnd(Tool::arrow, s, s + QPointF(100, 30));
    EXPECT_NEAR(flat.x(), 100 + std::hypot(100, 30), 1e-9);
    EXPECT_NEAR(flat.y(), 100, 1e-9);
    tool = Tool::ellipse;
    drag({100, 100}, {130, 50}, true);
    EXPECT_EQ(last().frame(), QRectF(100, 50, 50, 50));
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
    ImageItem image;
    image.frame = QRectF(100, 0, 50, 50);
    add(image);
    selection.clear();
    tool = Tool::line;
    drag({110, 10}, {111, 10});
    EXPECT_TRUE(selection.isEmpty());
    EXPECT_EQ(tool, Tool::line);
    EXPECT_EQ(document.state().items.size(), 2);
}

TEST_F(DrawingTest, DragsStartingOnAnItemMoveItOrTheSelectionUnlessItIsAPicture) {
    ImageItem image;
    image.frame = QRectF(0, 0, 400, 300);
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
    const int before = steps();
    drag({260, 10}, {300, 10}); // canvas (520, 20): on the note
    EXPECT_EQ(frame(a), QRectF(580, 0, 100, 50)) << "40 view points at zoom 0.5";
    EXPECT_EQ(frame(b), QRectF(700, 0, 100, 50)) << "an unselected start replaces the selection";
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(undoText(), QStringLiteral("Move"));
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(selection, Selection{a});

    controller.setZoom(1);
    tool = Tool::rect;
    selection = {a, c};
    const CanvasState moved = document.state();
    drag({590, 10}, {610, 10});
    EXPECT_EQ(frame(a), QRectF(600, 0, 100, 50));
    EXPECT_EQ(frame(c), QRectF(920, 0, 100, 50));
    EXPECT_EQ(frame(b), QRectF(700, 0, 100, 50));
    document.undoStack()->undo();
    EXPECT_EQ(document.state(), moved) << "one undo puts everything back";
}

TEST_F(DrawingTest, RedactIsOneUndoableStepOnThePicturesUnderTheBoxAndShiftBlurs) {
    QImage stripes(40, 40, QImage::Format_RGB32); // striped over a gradient
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            stripes.setPixel(x, y, qRgb(x * 6, y * 6, x % 2 * 255));
    ImageItem image;
    image.frame = QRectF(0, 0, 40, 40);
    image.pngData = test::encodePng(stripes);
    add(image);
    tool = Tool::redact;
    drag({100, 100}, {200, 200}); // beside the picture
    drag({5, 5}, {6, 5});         // a click
    EXPECT_EQ(steps(), 0);

    drag({0, 0}, {30, 30});
    EXPECT_EQ(steps(), 1);
    EXPECT_EQ(undoText(), QStringLiteral("Redact"));
    EXPECT_EQ(tool, Tool::redact) << "more boxes can follow";
    const QByteArray pixelated = document.state().items[0].image()->pngData;
    EXPECT_NE(pixelated, image.pngData);
    document.undoStack()->undo();
    EXPECT_EQ(document.state().items[0], CanvasItem(image)) << "undo brings the original back";

    drag({0, 0}, {30, 30}, /*shift=*/true);
    EXPECT_NE(QImage::fromData(document.state().items[0].image()->pngData, "PNG"),
              QImage::fromData(pixelated, "PNG"))
        << "Shift blurs instead of pixelating";
}

TEST_F(DrawingTest, TextClickMakesAGrowingLineInEditing) {
    setDefaultFont(20);
    defaults.setDefaultTextHex(QStringLiteral("#00FF00"));
    tool = Tool::text;
    drag({200, 300}, {201, 301});
    const double lh = lineHeight(20);
    const TextItem& text = *last().text();
    EXPECT_EQ(text.frame, QRectF(200, 300 - lh / 2, 8, lh));
    EXPECT_FALSE(text.wraps);
    EXPECT_EQ(text.colorHex, QStringLiteral("#00FF00"));
    EXPECT_EQ(undoText(), QStringLiteral("Add Text"));
    EXPECT_EQ(tool, Tool::select);
    EXPECT_TRUE(textEdit.isEditing(text.id));
}

TEST_F(DrawingTest, TextDragHasAMinimumBoxAndShowsNothingBeforeItMoves) {
    tool = Tool::text;
    drawing.change(context, {51, 52}, {1, 2}, false);
    EXPECT_FALSE(drawing.draftItem()) << "still within 4 points of the press";
    drawing.change(context, {150, 52}, {100, 2}, false);
    ASSERT_TRUE(drawing.draftItem());
    EXPECT_TRUE(document.state().items.isEmpty()) << "a draft is not in the document";
    drawing.end(context, {150, 52}, {100, 2}, false);
    const TextItem& text = *last().text();
    EXPECT_EQ(text.frame, QRectF(50, 50, 100, lineHeight(60)));
    EXPECT_TRUE(text.wraps);
    EXPECT_EQ(text.colorHex, QStringLiteral("#000000")) << "the text colour, not the stroke";
}

TEST_F(DrawingTest, NotesHaveAMinimumSizeFromTheirFont) {
    for (double fontSize : {20.0, 40.0}) {
        setDefaultFont(fontSize, TextStyle::success);
        tool = Tool::note;
        const QPointF at(fontSize * 100, 1000); // each on empty canvas
        drag(at, at + QPointF(2, 1));
        const TextItem& note = *last().text();
        const double height = std::max(2 * lineHeight(fontSize) + 24, 80.0);
        EXPECT_EQ(note.frame, QRectF(at.x(), 1000, fontSize == 20 ? 220 : 320, height));
        EXPECT_EQ(note.colorHex, QLatin1StringView(lookOf(TextStyle::success).foregroundHex));
        EXPECT_TRUE(textEdit.isEditing(note.id));
    }
}
