#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <optional>

namespace pintora {

enum class RedactStyle { pixelate, blur };

// Pixels per side of the blocks a redaction averages, in the picture's own pixels.
inline constexpr int redactBlockPixels = 12;

// Hides `area` (in the image's pixels, clipped to it) for good: in blocks of
// `redactBlockPixels` counted from the area's top left corner, each block becomes the mean of
// its pixels; `blur` then blends the means smoothly across the area. Either way what is left
// is made from the block means alone, so nothing finer than a block survives. Pixels outside
// the area are untouched.
void redactPixels(QImage& image, const QRect& area, RedactStyle style);

// The picture's pixels under `box` (canvas points) as its frame and crop show them, rounded
// out to whole pixels and clipped to the part the crop shows; none where the box misses it.
std::optional<QRect> pictureAreaUnder(const ImageItem& image, QSize pictureSize,
                                      const QRectF& box);

// The state with every picture under `box` redacted in its own pixels: each one's bytes are
// replaced by the edited PNG and it takes a new id, as the bytes of an id never change
// (pictures' frames, crops and places in the stack stay). None when the box covers no picture
// that could be changed; `unchanged` counts those under it that could not (too large to decode).
std::optional<CanvasState> redactedState(const CanvasState& state, const QRectF& box,
                                         RedactStyle style, int* unchanged = nullptr);

} // namespace pintora
