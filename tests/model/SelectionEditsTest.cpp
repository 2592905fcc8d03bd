#include "model/SelectionEdits.h"

#include "model/PintoraDocument.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
struct SelectionEditsTest : ::testing::Test {
    SelectionEditsTest() {
        CanvasState state;
        for (const char* name : {"A", "B", "C", "D"}) {
            TextItem item{.frame = QRectF(10, 20, 30, 40), .string = QString::fromLatin1(name)};
            state.items.append(item);
        }
        document.setState(state);
    }
    Selection select(const char* names) const {
        Selection selection;
        for (const CanvasItem& item : document.state().items)
            if (QLatin1StringView(names).contains(item.text()->string)) selection.insert(item.id());
        return selection;
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
        {ArrangeOp::bringForward, "AC", "BADC"}, {ArrangeOp::sendBackward, "BD", "BADC"},
        {ArrangeOp::bringToFront, "CA", "BDAC"}, {ArrangeOp::sendToBack, "DB", "BDAC"},
        {ArrangeOp::bringForward, "CD", "ABCD"}, {ArrangeOp::sendBackward, "AB", "ABCD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + " " + c.expected);
        Selection selection = select(c.selected);
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

// What a copy holds is checked with pasting, which makes its copies the same way.
TEST_F(SelectionEditsTest, DuplicateAddsOffsetCopiesOnTopAndSelectsThem) {
    Selection selection = select("CA");
    duplicateSelection(document, stack, selection);
    ASSERT_EQ(order(), "ABCDAC");
    const auto& items = document.state().items;
    EXPECT_EQ(selection, (Selection{items[4].id(), items[5].id()}));
    EXPECT_NE(items[4].id(), items[0].id());
    EXPECT_EQ(items[5].frame(), QRectF(30, 40, 30, 40));
    EXPECT_EQ(stack->undoText(), "Duplicate");
}

TEST_F(SelectionEditsTest, EmptyOrUnknownSelectionsRegisterNothingAndSelectAllIsNoStep) {
    Selection empty, unknown{QUuid::createUuid()};
    deleteSelection(document, stack, empty);
    duplicateSelection(document, stack, empty);
    arrangeSelection(document, stack, empty, ArrangeOp::bringToFront);
    nudgeSelection(document, stack, empty, 1, 1);
    duplicateSelection(document, stack, unknown);
    Tool tool = Tool::arrow;
    selectAllItems(document, unknown, tool);
    EXPECT_EQ(tool, Tool::select);
    EXPECT_EQ(unknown, select("ABCD"));
    EXPECT_EQ(stack->count(), 0);
    EXPECT_EQ(order(), "ABCD");
}

TEST_F(SelectionEditsTest, NudgeMovesOnlyTheSelectedFrames) {
    nudgeSelection(document, stack, select("B"), -10, 0.5);
    EXPECT_EQ(document.state().items[1].frame(), QRectF(0, 20.5, 30, 40));
    EXPECT_EQ(document.state().items[0].frame(), QRectF(10, 20, 30, 40));
    EXPECT_EQ(stack->undoText(), "Nudge");
}

TEST_F(SelectionEditsTest, TabStepsThroughTheStackAndOffEitherEnd) {
    struct Case {
        const char* selected;
        bool forward;
        const char* next; // empty: the step leaves the canvas
    };
    const Case cases[] = {
        {"", true, "A"},  {"", false, "D"},   {"B", true, "C"}, {"B", false, "A"},
        {"BD", true, ""}, {"BD", false, "A"}, {"D", true, ""},  {"A", false, ""},
    };
    for (const Case& k : cases) {
        const std::optional<QUuid> next =
            steppedItem(document.state().items, select(k.selected), k.forward);
        EXPECT_EQ(next ? Selection{*next} : Selection{}, select(k.next))
            << k.selected << (k.forward ? " Tab" : " Shift+Tab");
    }
}
