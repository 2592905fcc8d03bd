#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QImage>
#include <optional>

namespace pintora {

// The margin around the content in an exported picture, in points.
inline constexpr double exportMargin = 24;

// What an export and its thumbnail show, in canvas points: everything the items draw, grown by
// the margin; none without items.
std::optional<QRectF> exportBox(const CanvasState& state);

// How many pixels per point an export needs so that no picture on the canvas loses detail:
// the densest picture's, at least 1 and at most 4.
double exportPixelRatio(const CanvasState& state);

// The whole canvas as an image: the export box on white, every item in order. Null without
// items. Its device pixel ratio is the export's.
QImage renderImage(const CanvasState& state);

// The canvas as `renderImage` frames it, scaled to fit within `pixels`, for a thumbnail:
// pictures come from their scaled copies (never decoded here at full size), with stand-ins
// where a copy is still being made. Null without items.
QImage renderThumbnail(const CanvasState& state, QSize pixels);

// The same as PNG bytes, rendered and encoded in bands of about `exportBandBytes`; none
// without items or when encoding fails.
inline constexpr qint64 exportBandBytes = 32LL * 1024 * 1024;
std::optional<QByteArray> renderPNG(const CanvasState& state);

} // namespace pintora
