#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <functional>
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

// Why the canvas cannot be exported whole: the first picture whose header names one too large
// to decode within the program's limit, or that failed to decode ("the picture at 0, 0 on the
// canvas, 3840 × 80000 pixels, is too large to draw"). Empty when every picture draws; bytes
// that are no picture at all are left out of an export, as ever.
QString undrawablePicture(const CanvasState& state);

// The most pixels an export may have, in all and on a side: beyond them most programs cannot
// open the picture, and its bytes no longer fit the memory an export may take.
inline constexpr qint64 maxExportTotalPixels = 1000LL * 1000 * 1000;
inline constexpr int maxExportSidePixels = 1000 * 1000;

// Why the canvas is too large to export ("the canvas would export as 4592 × 1200000 pixels,
// more than …"); empty when it is not.
QString exportTooLarge(const CanvasState& state);

// The whole canvas as an image: the export box on white, every item in order. Null without
// items, and when a picture cannot be drawn (`problem` then says which). Its device pixel
// ratio is the export's.
QImage renderImage(const CanvasState& state, QString* problem = nullptr);

// The canvas as `renderImage` frames it, scaled to fit within `pixels`, for a thumbnail:
// pictures come from their scaled copies (never decoded here at full size), with stand-ins
// where a copy is still being made. Null without items.
QImage renderThumbnail(const CanvasState& state, QSize pixels);

// Pictures already decoded, by item id, that an export uses rather than decoding them again.
using DecodedPictures = QHash<QUuid, QImage>;

// The same as PNG bytes, rendered and encoded in bands of about `exportBandBytes`; none
// without items, when the canvas is too large, when a picture cannot be drawn or when
// encoding fails (`problem` then says why). Safe on any thread: it decodes what `decoded`
// lacks itself, and holds only the pictures the band being drawn crosses.
// `going` is told after each band the share of the rows drawn; when it returns false the
// render stops and returns none, with nothing to say.
inline constexpr qint64 exportBandBytes = 32LL * 1024 * 1024;
using RenderProgress = std::function<bool(double)>;
std::optional<QByteArray> renderPNG(const CanvasState& state, QString* problem = nullptr,
                                    const DecodedPictures& decoded = {},
                                    const RenderProgress& going = {});

} // namespace pintora
