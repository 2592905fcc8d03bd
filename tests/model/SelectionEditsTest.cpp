#include "model/SelectionEdits.h"

#include "model/PintoraDocument.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
struct SelectionEditsTest : ::testing::Test {
    SelectionEditsTest() {
        CanvasState state;
        for (const char* name : {"A", "B", "C", "D"}) {
            TextItem item;
            item.string = QString::fromLatin1(name);
            item.frame = QRectF(10, 20, 30, 40);
            state.items.append(item);
        }
        document.setState(state);
    }
    QUuid id(const char* name) const {
        for (const CanvasItem& item : document.state().items)
            if (item.text()->string == QLatin1StringView(name)) return item.id();
        return QUuid();
    }
    QString order() const {
        QString names;
        for (const CanvasItem& item : document.state().items)
            names += item.text()->string;
        return names;
    }

    PintoraDocument document{QString()};
    QUndoStack* stack = document.undoStack();
};
} // namespace

TEST_F(SelectionEditsTest, ArrangeMovesTheSelectionAsABlock) {
    struct Case {
        ArrangeOp op;
        const char* selected;
        const char* expected;
    };
    const Case cases[] = {
        {ArrangeOp::bringForward, "BC", "ADBC"}, {ArrangeOp::sendBackward, "BC", "BCAD"},
        {ArrangeOp::bringToFront, "BC", "ADBC"}, {ArrangeOp::sendToBack, "BC", "BCAD"},
        {ArrangeOp::bringForward, "D", "ABCD"},  {ArrangeOp::sendBackward, "A", "ABCD"},
        {ArrangeOp::bringForward, "AC", "BADC"}, {ArrangeOp::sendBackward, "BD", "BADC"},
        {ArrangeOp::bringToFront, "CA", "BDAC"}, {ArrangeOp::sendToBack, "DB", "BDAC"},
        {ArrangeOp::bringForward, "CD", "ABCD"}, {ArrangeOp::sendBackward, "AB", "ABCD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + " " + c.expected);
        Selection selection;
        for (const char* n = c.selected; *n; ++n)
            selection.insert(id(std::string(1, *n).c_str()));
        selection.insert(QUuid::createUuid()); // names no item: ignored
        const int steps = stack->index();
        arrangeSelection(document, stack, selection, c.op);
        EXPECT_EQ(order(), c.expected);
        EXPECT_EQ(stack->index(), steps + 1); // a step even when nothing moved
        EXPECT_EQ(stack->undoText(), actionName::arrange(c.op));
        stack->undo();
        EXPECT_EQ(order(), "ABCD");
    }
}

TEST_F(SelectionEditsTest, DeleteUndoRestoresTheStackingPositions) {
    Selection selection{id("B"), id("D")};
    deleteSelection(document, stack, selection);
    EXPECT_EQ(order(), "AC");
    EXPECT_TRUE(selection.isEmpty());
    EXPECT_EQ(stack->undoText(), "Delete");
    stack->undo();
    EXPECT_EQ(order(), "ABCD");
    stack->redo();
    EXPECT_EQ(order(), "AC");
    stack->undo();
    EXPECT_EQ(order(), "ABCD");
}

TEST_F(SelectionEditsTest, DuplicateAddsOffsetCopiesOnTopAndSelectsThem) {
    Selection selection{id("C"), id("A")};
    duplicateSelection(document, stack, selection);
    ASSERT_EQ(order(), "ABCDAC");
    const auto& items = document.state().items;
    EXPECT_EQ(selection, (Selection{items[4].id(), items[5].id()}));
    for (int copy : {4, 5}) {
        const TextItem& original = *items[copy == 4 ? 0 : 2].text();
        TextItem expected = original;
        expected.id = items[copy].id();
        expected.frame = QRectF(30, 40, 30, 40);
        EXPECT_NE(items[copy].id(), original.id);
        EXPECT_EQ(*items[copy].text(), expected);
    }
    EXPECT_EQ(stack->undoText(), "Duplicate");
}

TEST_F(SelectionEditsTest, EmptyOrUnknownSelectionsRegisterNothing) {
    Selection empty;
    deleteSelection(document, stack, empty);
    duplicateSelection(document, stack, empty);
    arrangeSelection(document, stack, empty, ArrangeOp::bringToFront);
    nudgeSelection(document, stack, empty, 1, 1);
    Selection unknown{QUuid::createUuid()};
    duplicateSelection(document, stack, unknown);
    EXPECT_EQ(stack->count(), 0);
    EXPECT_EQ(order(), "ABCD");
}

TEST_F(SelectionEditsTest, NudgeMovesOnlyTheSelectedFrames) {
    nudgeSelection(document, stack, Selection{id("B")}, -10, 0.5);
    EXPECT_EQ(document.state().items[1].frame(), QRectF(0, 20.5, 30, 40));
    EXPECT_EQ(document.state().items[0].frame(), QRectF(10, 20, 30, 40));
    EXPECT_EQ(stack->undoText(), "Nudge");
}

TEST_F(SelectionEditsTest, SelectAllPicksTheSelectToolAndEveryItem) {
    Selection selection{QUuid::createUuid()};
    Tool tool = Tool::arrow;
    selectAllItems(document, selection, tool);
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(selection, (Selection{id("A"), id("B"), id("C"), id("D")}));
    EXPECT_EQ(stack->count(), 0);
}
