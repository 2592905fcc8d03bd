#include "shapes/ItemToolbarEdits.h"

#include "canvas/CanvasFixture.h"
#include "shapes/CropGeometry.h"
#include "support/TestFiles.h"

using namespace pintora;
using namespace pintora::test;

namespace {
struct ItemToolbarTest : CanvasFixture {
    QUndoStack* stack = document.undoStack();
    const ShapeItem& shape(const QUuid& id) const { return *item(id).shape(); }
};
} // namespace

TEST_F(ItemToolbarTest, ToolbarsFloatAboveTheItem) {
    controller.setZoom(2);
    EXPECT_EQ(floatingToolbarCenter({10, 20, 100, 50}, controller, QSizeF(0, 0), false),
              QPointF(120, 12));
    EXPECT_EQ(floatingToolbarCenter({110, 70, -100, -50}, controller, QSizeF(4, 6), true),
              QPointF(124, 16))
        << "standardised, 30 up for pictures, and following a live drag";
    controller.setZoom(1);
    EXPECT_LT(floatingToolbarCenter({0, 0, 10, 10}, controller, QSizeF(0, 0), false).y(), 0)
        << "never pulled back into view";
}

TEST_F(ItemToolbarTest, ArrowheadsAndCalloutHeadsAreUndoableSteps) {
    const QUuid arrow = add(makeShape(ShapeKind::arrow, {0, 0, 100, 0}));
    setArrowheads(document, stack, arrow, false, false);
    EXPECT_FALSE(shape(arrow).hasEndHead);
    EXPECT_EQ(undoText(), QStringLiteral("Arrowheads"));
    const QUuid callout = add(makeShape(ShapeKind::callout, {0, 0, 100, 0}));
    setCalloutHead(document, stack, callout, CalloutHead::rect);
    EXPECT_EQ(shape(callout).calloutHead, CalloutHead::rect);
    EXPECT_EQ(undoText(), QStringLiteral("Callout Shape"));
    // Gone or of another kind: nothing changes and no empty step appears.
    const int before = steps();
    const QUuid text = add(textAt({}));
    setArrowheads(document, stack, text, true, true);
    setArrowheads(document, stack, QUuid::createUuid(), true, true);
    resetCrop(document, stack, arrow);
    EXPECT_EQ(steps(), before);
}

TEST_F(ItemToolbarTest, ASliderDragIsOneCalloutSizeStep) {
    const QUuid callout = add(makeShape(ShapeKind::callout, {0, 0, 100, 0}));
    CalloutSizeSlider slider;
    for (double v = 80; v <= 200; v += 10)
        slider.valueChanged(document, callout, v);
    EXPECT_EQ(shape(callout).calloutSize, 200);
    EXPECT_EQ(steps(), 0) << "the head follows the slider without steps";
    slider.released(document, stack, defaults, callout);
    EXPECT_EQ(steps(), 1);
    EXPECT_EQ(undoText(), QStringLiteral("Callout Size"));
    EXPECT_EQ(defaults.defaultCalloutSize(), 200);
    stack->undo();
    EXPECT_EQ(shape(callout).calloutSize, 80);
    stack->redo();
    slider.released(document, stack, defaults, callout);
    EXPECT_EQ(steps(), 1) << "a release without a drag commits nothing";
    // Without an undo history the default is still written.
    slider.valueChanged(document, callout, 300);
    slider.released(document, nullptr, defaults, callout);
    EXPECT_EQ(defaults.defaultCalloutSize(), 300);
}

TEST_F(ItemToolbarTest, NoteStyleSetsTheStyleColour) {
    const QUuid note = add(textAt({}, "n", TextStyle::critical));
    setNoteStyle(document, stack, note, TextStyle::warning);
    EXPECT_EQ(item(note).text()->style, TextStyle::warning);
    EXPECT_EQ(item(note).text()->colorHex, QStringLiteral("#7C3F00"));
    EXPECT_EQ(undoText(), QStringLiteral("Change Note Style"));
}

TEST_F(ItemToolbarTest, CropAndResetKeepThePictureWhereItWas) {
    ImageItem image;
    image.frame = QRectF(0, 0, 200, 100);
    image.pngData = test::pngBytes(200, 100);
    const QUuid id = add(image);
    applyCrop(document, stack, id, {0.5, 0.5, 0.5, 0.5});
    EXPECT_EQ(frame(id), QRectF(100, 50, 100, 50));
    EXPECT_EQ(undoText(), QStringLiteral("Crop"));
    resetCrop(document, stack, id);
    EXPECT_EQ(frame(id), QRectF(0, 0, 200, 100)) << "the whole picture back where it was";
    EXPECT_FALSE(isCropped(*item(id).image()));
    EXPECT_EQ(undoText(), QStringLiteral("Reset Crop"));
    applyCrop(document, stack, id, fullCrop);
    EXPECT_EQ(steps(), 3) << "a crop that changes nothing is still a step";
}
