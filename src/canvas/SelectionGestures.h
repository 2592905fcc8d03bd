#pragma once

#include "canvas/CanvasContext.h"
#include "model/CanvasState.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QUuid>
#include <optional>

namespace pintora {

namespace actionName {
inline const QString move = QStringLiteral("Move");
inline const QString resize = QStringLiteral("Resize");
} // namespace actionName

// The drawing tools' hit test: the last item whose standardised frame holds the point, left
// and top edges included, right and bottom excluded.
std::optional<QUuid> topmostItemId(const CanvasState& state, QPointF canvasPoint);

// A click on an item: with Shift it toggles the item, without it the item alone is selected.
void tapItem(Selection& selection, const QUuid& id, bool shiftHeld);

// The ids of the items whose standardised frames meet the canvas rectangle (edges count, so
// zero-length lines can be caught too).
Selection itemsMeeting(const CanvasState& state, const QRectF& canvasRect);

// Shifts the frames of the given items by `offset`, sizes and order unchanged.
void moveItems(CanvasState& state, const Selection& ids, QPointF offset);

// A handle drag writes the frame as it goes, with no undo step; the rectangle is stored as
// given, negative extents included.
void resizeItemLive(PintoraDocument& document, const QUuid& id, const QRectF& frame);
// At the end of a handle drag: one "Resize" step back to `original`, unless nothing changed.
void commitResizeUndo(PintoraDocument& document, QUndoStack* stack, const QUuid& id,
                      const QRectF& original);

// Dragging items with the select tool. Nothing reaches the document until the release, which
// moves the dragged item (with the rest of the selection when it is part of it) in one step.
class ItemDrag {
public:
    // `translation` is in canvas units.
    void change(CanvasContext& context, const QUuid& id, QSizeF translation, bool shiftHeld);
    void end(CanvasContext& context, const QUuid& id, QSizeF translation);

    std::optional<QUuid> primaryId() const { return primaryId_; }
    QSizeF liveOffset() const { return offset_; }
    // How far another item follows the drag: the live offset for the rest of the selection.
    QSizeF companionOffset(const QUuid& id, const Selection& selection) const;

private:
    bool dragging_ = false;
    QSizeF offset_{0, 0}; // QSizeF() would be (-1, -1)
    std::optional<QUuid> primaryId_;
};

// The rubber band on empty canvas with the select tool, in view coordinates.
class MarqueeGesture {
public:
    // The band shows once the pointer has left the press point by this much.
    static constexpr double startDistance = 4;

    void change(QPointF press, QPointF current);
    // Replaces the selection with the items the band meets, if a band was shown.
    void end(CanvasContext& context);

    std::optional<QRectF> rect() const { return rect_; }

private:
    std::optional<QRectF> rect_;
};

} // namespace pintora
