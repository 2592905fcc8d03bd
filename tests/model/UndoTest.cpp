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
        EXPECT_EQ(stack->redoText(), "Add Rect");
        EXPECT_FALSE(document.isEdited());
        stack->redo();
        EXPECT_EQ(document.state(), after);
        EXPECT_TRUE(document.isEdited());
    }
}

TEST_F(UndoTest, EveryUndoAndRedoAnnouncesTheChange) {
    QSignalSpy about(&document, &PintoraDocument::stateAboutToChange);
    QSignalSpy changed(&document, &PintoraDocument::stateChanged);
    document.apply(stack, QStringLiteral("Nudge"), [](CanvasState& state) { state.panX = 5; });
    stack->undo();
    stack->redo();
    EXPECT_EQ(about.count(), 3);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(UndoTest, StepsAreRegisteredEvenWithoutAChangeButNeverWithoutAStack) {
    document.apply(stack, QStringLiteral("Bring Forward"), [](CanvasState&) {});
    EXPECT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), "Bring Forward");

    document.apply(nullptr, QStringLiteral("Nudge"), [](CanvasState& state) { state.zoom = 3; });
    EXPECT_EQ(document.state().zoom, 3);
    EXPECT_EQ(stack->count(), 1);
    stack->setClean();
    document.apply(nullptr, QString(), [](CanvasState& state) { state.zoom = 4; });
    EXPECT_FALSE(document.isEdited()); // a change without undo does not mark the document
}

TEST_F(UndoTest, LiveGestureRegistersOneStepFromItsStartingState) {
    document.apply(stack, QStringLiteral("Add Text"), [](CanvasState& state) {
        TextItem text;
        text.frame = QRectF(0, 0, 100, 40);
        state.items.append(text);
    });
    const CanvasState before = document.state();
    for (int step = 1; step <= 10; ++step) { // the drag writes without undo as it runs
        CanvasState moving = document.state();
        moving.items[0].setFrame(QRectF(step, step, 100, 40));
        document.setState(moving);
    }
    const CanvasState after = document.state();
    document.registerStep(stack, QStringLiteral("Move"), before);
    ASSERT_EQ(stack->count(), 2);
    EXPECT_EQ(stack->undoText(), "Move");
    EXPECT_EQ(document.state(), after); // registering changes nothing
    stack->undo();
    EXPECT_EQ(document.state(), before);
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
