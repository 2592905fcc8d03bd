#include "model/PintoraDocument.h"
#include "model/SelectionEdits.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
struct UndoTest : ::testing::Test {
    PintoraDocument document{QStringLiteral("https://start.example/")};
    QUndoStack* stack = document.undoStack();
};
} // namespace

TEST_F(UndoTest, ApplyRegistersOneNamedStepThatUndoesAndRedoesTheWholeState) {
    QSignalSpy about(&document, &PintoraDocument::stateAboutToChange);
    QSignalSpy changed(&document, &PintoraDocument::stateChanged);
    const CanvasState start = document.state();
    document.apply(stack, QStringLiteral("Add Rect"), [](CanvasState& state) {
        state.items.append(makeShape(ShapeKind::rect, QRectF(0, 0, 10, 10)));
        state.zoom = 2;
        state.tabs.clear();
    });
    const CanvasState after = document.state();
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), "Add Rect");
    EXPECT_TRUE(document.isEdited());

    for (int round = 0; round < 3; ++round) {
        stack->undo();
        EXPECT_EQ(document.state(), start);
        EXPECT_FALSE(document.isEdited());
        stack->redo();
        EXPECT_EQ(document.state(), after);
        EXPECT_TRUE(document.isEdited());
    }
    // Every change, undo and redo is announced once.
    EXPECT_EQ(about.count(), 7);
    EXPECT_EQ(changed.count(), 7);
}

TEST_F(UndoTest, AChangeWithoutAStackIsNoStepAndDoesNotMarkTheDocument) {
    stack->setClean();
    document.apply(nullptr, QString(), [](CanvasState& state) { state.zoom = 3; });
    EXPECT_EQ(document.state().zoom, 3);
    EXPECT_EQ(stack->count(), 0);
    EXPECT_FALSE(document.isEdited());
}

TEST_F(UndoTest, LiveGestureRegistersOneStepFromItsStartingState) {
    CanvasState before = document.state();
    TextItem text;
    text.frame = QRectF(0, 0, 100, 40);
    before.items.append(text);
    document.setState(before);
    for (int step = 1; step <= 10; ++step) { // the drag writes without undo as it runs
        CanvasState moving = document.state();
        moving.items[0].setFrame(QRectF(step, step, 100, 40));
        document.setState(moving);
    }
    const CanvasState after = document.state();
    document.registerStep(stack, QStringLiteral("Move"), before);
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), "Move");
    EXPECT_EQ(document.state(), after); // registering changes nothing
    stack->undo();
    EXPECT_EQ(document.state(), before);
    EXPECT_EQ(document.state().items[0].frame(), QRectF(0, 0, 100, 40));
    stack->redo();
    EXPECT_EQ(document.state(), after);
}

TEST_F(UndoTest, StepsSharePictureBytesWithTheState) {
    CanvasState sample = test::sampleState();
    document.setState(sample);
    const char* picture = document.state().items[0].image()->pngData.constData();
    Selection selection{document.state().items[1].id()};
    for (int i = 0; i < 100; ++i)
        nudgeSelection(document, stack, selection, 1, 0);
    for (int i = 0; i < 100; ++i)
        stack->undo();
    EXPECT_EQ(document.state(), sample);
    EXPECT_EQ(document.state().items[0].image()->pngData.constData(), picture);
}
