#include "model/CanvasState.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(CanvasItem, IdAndFrameReachThePayloadOfEveryCase) {
    QList<CanvasItem> items{ImageItem{}, makeShape(ShapeKind::callout, {}), TextItem{}};
    for (CanvasItem& item : items) {
        const CanvasItem before = item;
        item.setFrame(QRectF(1, 2, 3, 4));
        EXPECT_EQ(item.frame(), QRectF(1, 2, 3, 4));
        EXPECT_EQ(item.id(), before.id());
        EXPECT_EQ(item.payload().index(), before.payload().index());
        EXPECT_FALSE(item.id().isNull());
    }
}

TEST(CanvasItem, EqualityIsDeepAndComparesPictureBytes) {
    ImageItem image;
    image.pngData = test::pngBytes(2, 2);
    CanvasItem a(image), b(image);
    EXPECT_EQ(a, b);
    b.image()->pngData = test::pngBytes(2, 2, Qt::blue);
    EXPECT_NE(a, b);
    EXPECT_NE(CanvasItem(ImageItem{}), CanvasItem(ImageItem{})); // fresh ids differ
    TextItem text;
    ShapeItem shape;
    shape.id = text.id;
    EXPECT_NE(CanvasItem(text), CanvasItem(shape));
}

TEST(CanvasItem, ShapeDefaultsAndDerivedMembers) {
    const ShapeItem callout = makeShape(ShapeKind::callout, QRectF(0, 0, 10, 10));
    EXPECT_EQ(callout.calloutHeadWidth(), 80);
    EXPECT_EQ(callout.calloutHeadHeight(), 44);
    EXPECT_EQ(callout.strokeHex, "#FF3B30");
    EXPECT_EQ(callout.lineWidth, 3);
    for (ShapeKind kind : allShapeKinds)
        EXPECT_EQ(makeShape(kind, {}).hasEndHead, kind == ShapeKind::arrow);
    EXPECT_FALSE(shapeKindFromRaw("Rect")); // raw values are case-sensitive
}

TEST(CanvasState, NewDocumentAndFactoryPresets) {
    const CanvasState state = CanvasState::makeNew(QStringLiteral("https://start.example/"));
    EXPECT_TRUE(state.items.isEmpty());
    EXPECT_EQ(state.zoom, 1);
    ASSERT_EQ(state.tabs.size(), 1);
    EXPECT_EQ(state.tabs[0].url, "https://start.example/");
    EXPECT_EQ(state.tabs[0].title, "New Tab");
    EXPECT_EQ(state.defaultLineWidth, 9);
    EXPECT_EQ(state.defaultFontSize, 60);
    EXPECT_EQ(state.defaultNoteStyle, TextStyle::critical);
    EXPECT_FALSE(state.lastActiveTabRaw);

    const auto& presets = CanvasState::defaultPresets();
    ASSERT_EQ(presets.size(), 4);
    EXPECT_EQ(presets[0].name, "Widescreen");
    EXPECT_EQ(presets[1].width, 1280);
    EXPECT_EQ(presets[2].height, 1194);
    EXPECT_FALSE(presets[3].enabled);
    EXPECT_TRUE(presets[1].enabled);
    // Made once per run: the same ids on every call.
    EXPECT_EQ(CanvasState::defaultPresets(), presets);
}
