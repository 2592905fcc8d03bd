#include "canvas/TextEditSession.h"

#include "canvas/CanvasFixture.h"

using namespace pintora;
using namespace pintora::test;

namespace {
struct TextEditTest : CanvasFixture {
    TextEditSession session;

    QUuid edited(QRectF frame, const QString& s, bool wraps = false,
                 TextStyle style = TextStyle::plain, double size = 20) {
        TextItem text = textAt(frame, s, style);
        text.wraps = wraps;
        text.fontSize = size;
        const QUuid id = add(text);
        session.begin(document, id);
        return id;
    }
    QString string(const QUuid& id) const { return item(id).text()->string; }
};
} // namespace

TEST_F(TextEditTest, APlainLineGrowsAndShrinksWithItsText) {
    const QUuid id = edited({10, 10, 8, 24}, "");
    session.liveChange(document, id, "Hello", {58, 32});
    EXPECT_EQ(frame(id), QRectF(10, 10, 58, 32));
    EXPECT_EQ(string(id), QStringLiteral("Hello"));
    session.liveChange(document, id, "He", {3, 32});
    EXPECT_EQ(frame(id), QRectF(10, 10, 8, 32)) << "never narrower than 8";
    session.liveChange(document, id, "He\nllo\nthere", {40, 80});
    session.liveChange(document, id, "He", {30, 32});
    EXPECT_EQ(frame(id), QRectF(10, 10, 30, 80)) << "height never shrinks while typing";
}

TEST_F(TextEditTest, WrappingNotesGrowDownwardByTheirChrome) {
    const QUuid card = edited({0, 0, 300, 100}, "", true, TextStyle::critical, 40);
    session.liveChange(document, card, "line", {999, 200});
    EXPECT_EQ(frame(card), QRectF(0, 0, 300, 232)) << "32 points of chrome at size 40";
    session.commit(context, card);
    // Plain wrapping text has no chrome, and an unchanged frame leaves the string alone.
    const QUuid plain = edited({0, 0, 300, 100}, "old", true);
    session.liveChange(document, plain, "new", {999, 50});
    EXPECT_EQ(frame(plain), QRectF(0, 0, 300, 100));
    EXPECT_EQ(string(plain), QStringLiteral("old")) << "written only at the commit";
    session.commit(context, plain);
    EXPECT_EQ(string(plain), QStringLiteral("new"));
}

TEST_F(TextEditTest, AnEditIsOneStepThatKeepsTheGrownFrameAndBlankTextIsDeleted) {
    const QUuid same = edited({0, 0, 8, 24}, "same");
    session.liveChange(document, same, "sam", {30, 24});
    session.liveChange(document, same, "same", {40, 24});
    session.commit(context, same);
    EXPECT_EQ(steps(), 0) << "ending with the same text registers nothing";

    const QUuid id = edited({0, 0, 8, 24}, "cat");
    session.liveChange(document, id, "cart", {50, 40});
    session.commit(context, id);
    EXPECT_EQ(steps(), 1);
    document.undoStack()->undo();
    EXPECT_EQ(string(id), QStringLiteral("cat"));
    EXPECT_EQ(frame(id), QRectF(0, 0, 50, 40));

    const QUuid blank = edited({0, 0, 100, 40}, "keep me", true);
    selection = {blank};
    session.liveChange(document, blank, "  \n\t ", {100, 80});
    EXPECT_TRUE(session.commit(context, blank));
    EXPECT_FALSE(findItem(document.state(), blank));
    EXPECT_TRUE(selection.isEmpty());
    document.undoStack()->undo();
    ASSERT_TRUE(findItem(document.state(), blank));
    EXPECT_EQ(string(blank), QStringLiteral("  \n\t ")) << "back on undo";
}

TEST_F(TextEditTest, CommitsForOtherIdsOrVanishedItems) {
    const QUuid a = edited({0, 0, 100, 40}, "a", true);
    session.commit(context, add(textAt({}, "b")));
    EXPECT_TRUE(session.isEditing(a)) << "a commit for another item does nothing";
    session.begin(document, add(makeShape(ShapeKind::rect, {})));
    EXPECT_TRUE(session.isEditing(a)) << "only text items are edited";
    CanvasState state = document.state();
    state.items.removeFirst();
    document.setState(state);
    session.liveChange(document, a, "gone", {10, 10});
    session.commit(context, a);
    EXPECT_FALSE(session.editingId());
    EXPECT_EQ(steps(), 0);
}
