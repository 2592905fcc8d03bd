#include "shapes/CropGeometry.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {

void expectRect(const QRectF& actual, const QRectF& expected) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

ImageItem picture(QRectF frame, QByteArray png = test::pngBytes(200, 100)) {
    return ImageItem{.frame = frame, .pngData = png};
}

} // namespace

TEST(CropGeometry, CroppingKeepsThePictureInPlace) {
    struct Case {
        const char* what;
        QRectF frame, crop, expectedFrame, storedCrop; // none: the crop as given
    };
    const QRectF quarter(0.5, 0.5, 0.5, 0.5), whole(0, 0, 200, 100);
    const std::vector<Case> cases{
        {"bottom-right quarter", whole, quarter, {100, 50, 100, 50}, quarter},
        {"non-uniform", {10, 10, 400, 100}, {0.25, 0.5, 0.5, 0.5}, {110, 60, 200, 50}, {}},
        {"past the right edge", whole, {0.95, 0, 0.2, 1}, {190, 0, 10, 100}, {0.95, 0, 0.05, 1}},
        {"outside and too thin", whole, {-1, 2, 0, 0.5}, {0, 100, 2, 0}, {0, 1, 0.01, 0}},
        {"frame stored flipped", {200, 100, -200, -100}, {0, 0, 0.5, 0.5}, {0, 0, 100, 50}, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const ImageItem item = picture(k.frame);
        const ImageItem result = applyCropKeepingAnchor(item, k.crop);
        expectRect(result.frame, k.expectedFrame);
        expectRect(result.cropRect, k.storedCrop.isNull() ? k.crop : k.storedCrop);
    }
    const ImageItem broken = picture({5, 5, 50, 50}, "not a picture");
    const ImageItem result = applyCropKeepingAnchor(broken, {0.5, 0.5, 0.9, 0.9});
    EXPECT_EQ(result.frame, QRectF(5, 5, 50, 50)) << "a picture that does not read keeps its frame";
    expectRect(result.cropRect, quarter);
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
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        expectRect(draggedCrop(k.target, k.base, k.delta), k.expected);
    }
    // The picture fills the editor area, letterboxed.
    EXPECT_EQ(cropImageRect({600, 400}, {1200, 400}), QRectF(0, 100, 600, 200));
    EXPECT_EQ(cropImageRect({600, 400}, {200, 400}), QRectF(200, 0, 200, 400));
}
