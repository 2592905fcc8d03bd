#pragma once

#include "model/CanvasItem.h"

#include <QColor>
#include <QImage>
#include <QPainter>

namespace pintora {

// The two places items are drawn. They differ in one respect: on the canvas an unfilled
// rectangle, ellipse or callout head is stroked inside its frame; in an export the stroke is
// centred on the frame's edge, half of it outside.
enum class PaintTarget { canvas, exportImage };

// The colour a shape draws in when its hex does not read.
inline const QColor fallbackShapeColor{0xFF, 0x3B, 0x30};

QColor shapeColor(const ShapeItem& shape);
// Black when the hex does not read.
QColor textColor(const TextItem& text);

// Note card measures: the stripe at the left edge and the margin around the text.
double cardStripeWidth(double fontSize);
double cardPadding(double fontSize);
// Where the lines of a text item are drawn: its frame less the inset, or less a card's stripe
// and margin. The editor shows them there, and wrapping text is measured at this width.
QRectF textArea(const TextItem& text);

// Draws one item in canvas coordinates (the painter maps them). Pictures come decoded from
// the caller's cache; a null picture draws nothing.
void paintItem(QPainter& painter, const CanvasItem& item, const QImage& picture,
               PaintTarget target);

void paintShape(QPainter& painter, const ShapeItem& shape, PaintTarget target);
void paintText(QPainter& painter, const TextItem& text, PaintTarget target);
// The part of the picture the crop names, stretched over the standardised frame. On the
// canvas the crop is first clamped into the picture; the export takes it as stored.
void paintPicture(QPainter& painter, const ImageItem& image, const QImage& picture,
                  PaintTarget target);

// Everything an export draws for the item: its standardised frame, and whatever its strokes,
// arrow heads or callout head reach beyond it.
QRectF exportedExtent(const CanvasItem& item);

// The rectangle of the picture, in its pixels, that a crop shows.
QRectF cropSourceRect(const QRectF& crop, QSize pictureSize, bool clamp);

} // namespace pintora
