#include "canvas/CanvasDecorations.h"

#include "canvas/CanvasController.h"
#include "canvas/CanvasFixture.h"
#include "canvas/CanvasSummary.h"

using namespace pintora;
using namespace pintora::test;

namespace {

// The x of every vertical line and the y of every horizontal one.
std::pair<QList<double>, QList<double>> gridLines(const QPainterPath& path) {
    QList<double> xs, ys;
    for (int i = 0; i + 1 < path.elementCount(); i += 2) {
        const QPainterPath::Element a = path.elementAt(i);
        const QPainterPath::Element b = path.elementAt(i + 1);
        if (a.x == b.x)
            xs.append(a.x);
        else
            ys.append(a.y);
    }
    return {xs, ys};
}

} // namespace

TEST(CanvasDecorations, GridFollowsPanAndDisappearsWhenDense) {
    auto [xs, ys] = gridLines(gridPath(1, {-10, 15}, {100, 100}));
    EXPECT_EQ(xs, (QList<double>{-10, 30, 70}));
    EXPECT_EQ(ys, (QList<double>{15, 55, 95}));
    EXPECT_FALSE(gridPath(0.2, {0, 0}, {20, 20}).isEmpty()) << "pitch 8 at zoom 0.2";
    EXPECT_TRUE(gridPath(0.19, {0, 0}, {100, 100}).isEmpty());
}

TEST_F(CanvasFixture, SelectionDecorationsFollowTheSelectedItems) {
    const QUuid line = add(makeShape(ShapeKind::line, {0, 0, 50, 50}));
    const QUuid text = add(textAt({100, 0, -50, 20}));
    TextItem growing = textAt({0, 0, 8, 20});
    growing.wraps = false;
    EXPECT_TRUE(outlineSuppressed(item(line), false));
    EXPECT_FALSE(outlineSuppressed(item(text), false));
    EXPECT_TRUE(outlineSuppressed(CanvasItem(growing), true));
    growing.style = TextStyle::critical;
    EXPECT_FALSE(outlineSuppressed(CanvasItem(growing), true)) << "a card keeps its outline";

    selection = {text, line, QUuid::createUuid()};
    EXPECT_EQ(handleItem(document.state(), selection)->id(), line) << "first in document order";
    controller.setZoom(2);
    controller.setPan({10, 0});
    EXPECT_EQ(selectionBox(document.state(), selection, controller, {5, 5}),
              QRectF(15, 5, 200, 100));
    selection = {QUuid::createUuid()};
    EXPECT_FALSE(selectionBox(document.state(), selection, controller, {}));
    EXPECT_EQ(handleItem(document.state(), selection), nullptr);
}

TEST(CanvasSummary, TheDescriptionCountsEachKindAndTheSelection) {
    CanvasState state;
    EXPECT_EQ(canvasDescription(state, 0), "Canvas: empty");
    state.items = {makeShape(ShapeKind::rect, {0, 0, 1, 1}),
                   makeShape(ShapeKind::arrow, {0, 0, 1, 1}),
                   test::textAt({0, 0, 1, 1}, "a", TextStyle::warning), ImageItem{}};
    EXPECT_EQ(canvasDescription(state, 1), "Canvas: 1 picture, 2 shapes, 1 note; 1 selected");
}
