#pragma once

#include "model/CanvasState.h"
#include "model/SelectionEdits.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <optional>

namespace pintora {

class CanvasController;

// What the canvas draws around the items, all in view coordinates.

inline const QColor canvasBackground = QColor::fromRgbF(0.96f, 0.96f, 0.96f);

// The 40-point grid aligned to the canvas origin, as one path; empty once its pitch would be
// under 8 view points.
QPainterPath gridPath(double zoom, QPointF pan, QSizeF viewSize);
void paintGrid(QPainter& painter, double zoom, QPointF pan, QSizeF viewSize);

// The item that shows handles and a floating toolbar: the first selected one in document
// order.
const CanvasItem* handleItem(const CanvasState& state, const Selection& selection);

// Lines, arrows and callouts show end points instead of an outline, and a growing plain
// text being typed shows no box.
bool outlineSuppressed(const CanvasItem& item, bool isBeingEdited);

// The union of the selected items' frames in view points, or none when no selected id names
// an item.
std::optional<QRectF> selectionBox(const CanvasState& state, const Selection& selection,
                                   const CanvasController& controller, QPointF liveOffset);

void paintSelectionOutline(QPainter& painter, const QRectF& rect, const QColor& accent);
// The box around two or more selected items, with its "N items" badge.
void paintMultiSelectionBox(QPainter& painter, const QRectF& rect, qsizetype count,
                            const QColor& accent);
void paintMarquee(QPainter& painter, const QRectF& rect, const QColor& accent);
// A 9-point white square with an accent border and a faint shadow.
void paintHandleDot(QPainter& painter, QPointF center, const QColor& accent);

// A dashed border whose stroke lies inside `rect`.
void strokeInside(QPainter& painter, const QRectF& rect, const QPen& pen);

} // namespace pintora
