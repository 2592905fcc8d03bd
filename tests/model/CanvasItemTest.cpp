#include "model/CanvasState.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

// Every round-trip test relies on items comparing by value, picture bytes included.
TEST(CanvasItem, EqualityComparesPictureBytesIdsAndKinds) {
    ImageItem image{.pngData = test::pngBytes(2, 2)};
    CanvasItem a(image), b(image);
    EXPECT_EQ(a, b);
    b.image()->pngData = test::pngBytes(2, 2, Qt::blue);
    EXPECT_NE(a, b);
    EXPECT_NE(CanvasItem(ImageItem{}), CanvasItem(ImageItem{})); // fresh ids differ
    ShapeItem shape;
    shape.id = image.id;
    EXPECT_NE(a, CanvasItem(shape));
}
