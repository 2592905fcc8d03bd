#include "shapes/CropGeometry.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {

void expectRect(const QRectF& actual, const QRectF& expected, const char* what) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9) << what;
}

ImageItem picture(QRectF frame, QRectF crop = fullCrop, int w = 200, int h = 100) {
    ImageItem image;
    image.frame = frame;
    image.cropRect = crop;
    image.pngData = test::pngBytes(w, h);
    return image;
}

} // namespace

TEST(CropGeometry, CroppingKeepsThePictureInPlace) {
    struct Case {
        const char* what;
        ImageItem item;
        QRectF crop;
        QRectF frame;
        QRectF storedCrop;
    };
    const std::vector<Case> cases{
        {"bottom-right quarter",
         picture({0, 0, 200, 100}),
         {0.5, 0.5, 0.5, 0.5},
         {100, 50, 100, 50},
         {0.5, 0.5, 0.5, 0.5}},
        {"reset brings the whole back",
         picture({100, 50, 100, 50}, {0.5, 0.5, 0.5, 0.5}),
         fullCrop,
         {0, 0, 200, 100},
         fullCrop},
        {"scale 2 is kept",
         picture({0, 0, 400, 200}),
         {0, 0, 0.5, 1},
         {0, 0, 200, 200},
         {0, 0, 0.5, 1}},
        {"non-uniform scale is kept",
         picture({10, 10, 400, 100}),
         {0.25, 0.5, 0.5, 0.5},
         {110, 60, 200, 50},
         {0.25, 0.5, 0.5, 0.5}},
        {"past the right edge",
         picture({0, 0, 200, 100}),
         {0.95, 0, 0.2, 1},
         {190, 0, 10, 100},
         {0.95, 0, 0.05, 1}},
        {"outside the picture and too thin",
         picture({0, 0, 200, 100}),
         {-1, 2, 0, 0.5},
         {0, 100, 2, 0},
         {0, 1, 0.01, 0}},
        {"frame stored flipped",
         picture({200, 100, -200, -100}),
         {0, 0, 0.5, 0.5},
         {0, 0, 100, 50},
         {0, 0, 0.5, 0.5}},
    };
    for (const Case& k : cases) {
        const ImageItem result = applyCropKeepingAnchor(k.item, k.crop);
        expectRect(result.frame, k.frame, k.what);
        expectRect(result.cropRect, k.storedCrop, k.what);
        EXPECT_EQ(result.id, k.item.id) << k.what;
        EXPECT_EQ(result.pngData, k.item.pngData) << k.what;
    }
}

TEST(CropGeometry, APictureThatDoesNotReadKeepsItsFrame) {
    ImageItem broken = picture({5, 5, 50, 50});
    broken.pngData = QByteArrayLiteral("not a picture");
    const ImageItem result = applyCropKeepingAnchor(broken, {0.5, 0.5, 0.9, 0.9});
    EXPECT_EQ(result.frame, QRectF(5, 5, 50, 50));
    expectRect(result.cropRect, {0.5, 0.5, 0.5, 0.5}, "clamped all the same");
    EXPECT_FALSE(pictureSize(broken.pngData));
    EXPECT_EQ(pictureSize(test::pngBytes(30, 20)), QSize(30, 20));
}

TEST(CropGeometry, EditorDragsStayInsideAndNeverFlip) {
    using T = CropTarget;
    struct Case {
        const char* what;
        T target;
        QRectF base;
        QPointF delta;
        QRectF expected;
    };
    const std::vector<Case> cases{
        {"east past west pushes it ahead", T::e, {0.2, 0, 0.5, 1}, {-0.55, 0}, {0.13, 0, 0.02, 1}},
        {"east pushes west to the edge", T::e, {0.2, 0, 0.5, 1}, {-0.9, 0}, {0, 0, 0.02, 1}},
        {"west stops short of east", T::w, {0.2, 0, 0.5, 1}, {0.9, 0}, {0.68, 0, 0.02, 1}},
        {"body stays inside", T::body, {0.6, 0.6, 0.3, 0.3}, {0.5, 0.5}, {0.7, 0.7, 0.3, 0.3}},
        {"body at the top-left", T::body, {0.1, 0.1, 0.3, 0.3}, {-1, -1}, {0, 0, 0.3, 0.3}},
        {"north-west of the full crop", T::nw, fullCrop, {-0.1, -0.1}, fullCrop},
        {"south follows", T::s, {0, 0, 1, 0.5}, {0, 0.25}, {0, 0, 1, 0.75}},
    };
    for (const Case& k : cases) {
        expectRect(draggedCrop(k.target, k.base, k.delta), k.expected, k.what);
    }
    // Translations arrive in view points and count as fractions of the drawn picture.
    CropDrag drag;
    const QRectF imageRect(50, 0, 400, 200);
    QRectF crop = drag.change(T::e, fullCrop, {-100, 0}, imageRect);
    expectRect(crop, {0, 0, 0.75, 1}, "first change");
    crop = drag.change(T::e, crop, {-200, 0}, imageRect);
    expectRect(crop, {0, 0, 0.5, 1}, "from the drag's base, not the last result");
}

TEST(CropGeometry, ThePictureFillsTheEditorArea) {
    EXPECT_EQ(cropImageRect({600, 400}, {1200, 400}), QRectF(0, 100, 600, 200));
    EXPECT_EQ(cropImageRect({600, 400}, {200, 400}), QRectF(200, 0, 200, 400));
}
