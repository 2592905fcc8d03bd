#include "export/ToolbarRules.h"

#include "canvas/CanvasFixture.h"

using namespace pintora;
using namespace pintora::test;

namespace {
struct ToolbarTest : CanvasFixture {
    QUuid image = add(ImageItem());
    QUuid shape = add(makeShape(ShapeKind::rect, {0, 0, 10, 10}));
    QUuid plain = add(textAt({}, "p"));
    QUuid card = add(textAt({}, "c", TextStyle::success));

    ToolbarConditions with(Selection s, Tool t) {
        selection = s;
        tool = t;
        return toolbarConditions(document.state(), selection, tool);
    }
};
} // namespace

TEST_F(ToolbarTest, ControlsShowForTheToolAndTheSelection) {
    struct Case {
        const char* what;
        Selection selection;
        Tool tool;
        bool picker, width, fontSize, noteStyle, textColor;
    };
    const std::vector<Case> cases{
        {"nothing selected", {}, Tool::select, false, false, false, false, false},
        {"a picture", {image}, Tool::select, false, false, false, false, false},
        {"a note card", {card}, Tool::select, false, false, true, false, true},
        {"a plain text", {plain}, Tool::select, true, false, true, false, true},
        {"a shape and a text", {shape, plain}, Tool::select, true, true, true, false, false},
        {"the note tool", {}, Tool::note, false, false, true, true, true},
        {"the text tool", {}, Tool::text, true, false, true, false, true},
        {"the arrow tool", {}, Tool::arrow, true, true, false, false, false},
        {"a vanished id", {QUuid::createUuid()}, Tool::select, false, false, false, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const ToolbarConditions c = with(k.selection, k.tool);
        EXPECT_EQ(std::tuple(c.showsColorPicker, c.showsLineWidth, c.showsFontSize,
                             c.showsNoteStyle, c.textColorActive),
                  std::tuple(k.picker, k.width, k.fontSize, k.noteStyle, k.textColor));
    }
}

TEST_F(ToolbarTest, AColourGoesToTheDefaultItWasReadFromAndToTheSelection) {
    ToolbarConditions c = with({}, Tool::text);
    changeColor(document, document.undoStack(), selection, c, defaults, "#111111");
    EXPECT_EQ(toolbarColor(c, defaults), QStringLiteral("#111111"));
    EXPECT_EQ(steps(), 0) << "nothing selected, nothing to undo";
    c = with({shape, plain, card, image}, Tool::select);
    changeColor(document, document.undoStack(), selection, c, defaults, "#222222");
    EXPECT_EQ(toolbarColor(c, defaults), QStringLiteral("#222222"));
    EXPECT_EQ(defaults.defaultTextHex(), QStringLiteral("#111111"));
    EXPECT_EQ(item(shape).shape()->strokeHex, QStringLiteral("#222222"));
    EXPECT_EQ(item(card).text()->colorHex, QStringLiteral("#222222"));
    EXPECT_EQ(steps(), 1);
}

TEST_F(ToolbarTest, EverySliderValueIsItsOwnStepAndADefaultWithoutASelectionNone) {
    with({shape}, Tool::select);
    changeWidth(document, document.undoStack(), selection, 4);
    changeWidth(document, document.undoStack(), selection, 5);
    EXPECT_EQ(steps(), 2);
    selection.clear();
    changeFontSize(document, document.undoStack(), selection, 30);
    EXPECT_EQ(steps(), 2);
    EXPECT_EQ(document.state().defaultFontSize, 30);
    selection = {plain, card, shape};
    changeFontSize(document, document.undoStack(), selection, 44);
    EXPECT_EQ(item(card).text()->fontSize, 44);
    EXPECT_EQ(steps(), 3);
}

TEST_F(ToolbarTest, TheContentTokenChangesWithWhatTheExportShows) {
    const quint64 base = thumbContentToken(document.state());
    auto tokenAfter = [&](auto edit) {
        CanvasState state = document.state();
        edit(state);
        return thumbContentToken(state);
    };
    EXPECT_EQ(base, tokenAfter([&](CanvasState& s) { s.zoom = 3; }));
    EXPECT_EQ(base, tokenAfter([&](CanvasState& s) {
                  findItem(s, shape)->setFrame(QRectF(-0.0, 0, 10, 10));
              }))
        << "negative zero counts as zero";
    const std::vector<std::function<void(CanvasState&)>> changes{
        [&](CanvasState& s) { findItem(s, image)->setFrame(QRectF(0.001, 0, 0, 0)); },
        [&](CanvasState& s) { findItem(s, shape)->shape()->strokeHex = "#000001"; },
        [&](CanvasState& s) { findItem(s, shape)->shape()->hasStartHead = true; },
        [&](CanvasState& s) { findItem(s, shape)->shape()->calloutHead = CalloutHead::rect; },
        [&](CanvasState& s) { findItem(s, shape)->shape()->calloutSize = 120; },
        [&](CanvasState& s) { findItem(s, image)->image()->cropRect = QRectF(0, 0, 0.5, 1); },
        [&](CanvasState& s) { findItem(s, plain)->text()->string = "q"; },
        [&](CanvasState& s) { findItem(s, card)->text()->style = TextStyle::critical; },
        [&](CanvasState& s) { s.items.move(1, 2); },
        [&](CanvasState& s) { s.items.removeLast(); },
    };
    for (size_t i = 0; i < changes.size(); ++i)
        EXPECT_NE(base, tokenAfter(changes[i])) << i;
}
