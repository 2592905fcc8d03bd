#pragma once

#include "canvas/CanvasContext.h"
#include "model/CanvasItem.h"

#include <QPointF>
#include <QSizeF>
#include <optional>

namespace pintora {

class MoveMode;
class TextEditSession;

namespace actionName {
// "Add Rect", "Add Ellipse", ... "Add Text", "Add Note".
QString addItem(Tool tool);
extern const QString redact;
} // namespace actionName

// Where a drag with Shift held ends: on a square for boxes, on the nearest 45° direction
// (keeping the length) for lines, arrows and callouts.
QPointF constrainedEnd(Tool tool, QPointF start, QPointF end);

// The item a drag from `start` to `end` (canvas points, already constrained) would create
// with `tool`; none for the select tool.
std::optional<CanvasItem> makeDraft(Tool tool, QPointF start, QPointF end,
                                    const CanvasContext& context);

// A drag on the canvas with a drawing tool: a preview while it lasts, one added item at the
// end. A drag that starts on an item (not a picture) moves it instead, and a click on one
// selects it.
class DrawingGesture {
public:
    // Drags up to this long, in view points, are clicks.
    static constexpr double clickDistance = 4;

    DrawingGesture(MoveMode& moveMode, TextEditSession& textEdit)
        : moveMode_(moveMode), textEdit_(textEdit) {}

    // The pointer's location and its translation from the press, in view points.
    void change(CanvasContext& context, QPointF location, QSizeF translation, bool shiftHeld);
    void end(CanvasContext& context, QPointF location, QSizeF translation, bool shiftHeld);

    // The keyboard's way to draw: what a drag over a box of `keyboardSize` view points
    // centred on `viewCentre` makes with the current tool, even over other items. A text or a
    // note is placed as a click there places it, with its editor open.
    static constexpr QSizeF keyboardSize{160, 100};
    void place(CanvasContext& context, QPointF viewCentre);

    const std::optional<CanvasItem>& draftItem() const { return draft_; }

private:
    void addShape(CanvasContext& context, const CanvasItem& item);
    void finishText(CanvasContext& context, QPointF start, QPointF end, bool click);
    // Pixelates (or blurs) the pictures under the dragged box, in one step.
    void redact(CanvasContext& context, QPointF start, QPointF end, bool blur);

    MoveMode& moveMode_;
    TextEditSession& textEdit_;
    std::optional<CanvasItem> draft_;
};

} // namespace pintora
