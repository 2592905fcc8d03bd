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

TEST_F(ItemToolbarTest, ANoteStyleBringsItsColourAndEditsOfAnotherKindAddNoStep) {
    const QUuid note = add(textAt({}, "n", TextStyle::critical));
    setNoteStyle(document, stack, note, TextStyle::warning);
    EXPECT_EQ(item(note).text()->style, TextStyle::warning);
    EXPECT_EQ(item(note).text()->colorHex,
              QLatin1StringView(lookOf(TextStyle::warning).foregroundHex));
    EXPECT_EQ(steps(), 1);
    // Gone or of another kind: nothing changes and no empty step appears.
    setArrowheads(document, stack, note, true, true);
    setArrowheads(document, stack, QUuid::createUuid(), true, true);
    resetCrop(document, stack, add(makeShape(ShapeKind::arrow, {})));
    EXPECT_EQ(steps(), 1);
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

TEST_F(ItemToolbarTest, ResetCropPutsTheWholePictureBackWhereItWas) {
    ImageItem image{.frame = QRectF(0, 0, 200, 100), .pngData = test::pngBytes(200, 100)};
    const QUuid id = add(image);
    applyCrop(document, stack, id, {0.5, 0.5, 0.5, 0.5});
    EXPECT_EQ(frame(id), QRectF(100, 50, 100, 50));
    resetCrop(document, stack, id);
    EXPECT_EQ(frame(id), QRectF(0, 0, 200, 100));
    EXPECT_FALSE(isCropped(*item(id).image()));
}
