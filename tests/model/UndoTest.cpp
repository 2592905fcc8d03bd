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
    for (int round = 0; round < 2; ++round) {
        stack->undo();
        EXPECT_EQ(document.state(), start);
        EXPECT_FALSE(document.isEdited());
        stack->redo();
        EXPECT_EQ(document.state(), after);
    }
    EXPECT_EQ(changed.count(), 5); // every change, undo and redo is announced once

    // A change without a stack is no step and does not mark the document.
    stack->setClean();
    document.apply(nullptr, QString(), [](CanvasState& state) { state.zoom = 3; });
    EXPECT_EQ(document.state().zoom, 3);
    EXPECT_EQ(stack->count(), 1);
    EXPECT_FALSE(document.isEdited());
}

TEST_F(UndoTest, StepsSharePictureBytesWithTheState) {
    const CanvasState sample = test::sampleState();
    document.setState(sample);
    const char* picture = document.state().items[0].image()->pngData.constData();
    for (int i = 0; i < 100; ++i)
        nudgeSelection(document, stack, {document.state().items[1].id()}, 1, 0);
    for (int i = 0; i < 100; ++i)
        stack->undo();
    EXPECT_EQ(document.state(), sample);
    EXPECT_EQ(document.state().items[0].image()->pngData.constData(), picture);
}
