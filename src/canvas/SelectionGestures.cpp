#include "canvas/SelectionGestures.h"

#include "canvas/CanvasController.h"
#include "model/Geometry.h"
#include "model/PintoraDocument.h"

#include <cmath>

namespace pintora {

std::optional<QUuid> topmostItemId(const CanvasState& state, QPointF p) {
    for (qsizetype i = state.items.size() - 1; i >= 0; --i) {
        const QRectF f = standardized(state.items[i].frame());
        if (p.x() >= f.left() && p.x() < f.right() && p.y() >= f.top() && p.y() < f.bottom()) {
            return state.items[i].id();
        }
    }
    return std::nullopt;
}

void tapItem(Selection& selection, const QUuid& id, bool shiftHeld) {
    if (!shiftHeld) {
        selection = {id};
    } else if (!selection.remove(id)) {
        selection.insert(id);
    }
}

Selection itemsMeeting(const CanvasState& state, const QRectF& r) {
    Selection hit;
    for (const CanvasItem& item : state.items) {
        const QRectF f = standardized(item.frame());
        if (f.left() <= r.right() && r.left() <= f.right() && f.top() <= r.bottom() &&
            r.top() <= f.bottom()) {
            hit.insert(item.id());
        }
    }
    return hit;
}

void moveItems(CanvasState& state, const Selection& ids, QPointF offset) {
    for (CanvasItem& item : state.items) {
        if (ids.contains(item.id())) {
            item.setFrame(item.frame().translated(offset));
        }
    }
}

void resizeItemLive(PintoraDocument& document, const QUuid& id, const QRectF& frame) {
    CanvasState state = document.state();
    CanvasItem* item = findItem(state, id);
    if (!item) {
        return;
    }
    item->setFrame(frame);
    document.setState(std::move(state));
}

void commitResizeUndo(PintoraDocument& document, QUndoStack* stack, const QUuid& id,
                      const QRectF& original) {
    CanvasState before = document.state();
    CanvasItem* item = findItem(before, id);
    if (!item || item->frame() == original || !stack) {
        return;
    }
    item->setFrame(original);
    document.registerStep(stack, actionName::resize, before);
}

void ItemDrag::change(CanvasContext& context, const QUuid& id, QSizeF translation, bool shiftHeld) {
    if (!dragging_ && !context.selection.contains(id)) {
        if (shiftHeld) {
            context.selection.insert(id);
        } else {
            context.selection = {id};
        }
    }
    dragging_ = true;
    offset_ = translation;
    primaryId_ = id;
}

void ItemDrag::end(CanvasContext& context, const QUuid& id, QSizeF translation) {
    dragging_ = false;
    offset_ = QSizeF(0, 0);
    primaryId_.reset();
    if (translation.isNull()) {
        return;
    }
    if (!context.selection.contains(id)) {
        context.selection = {id};
    }
    const Selection moved = context.selection;
    const QPointF offset(translation.width(), translation.height());
    context.document.apply(context.undoStack, actionName::move,
                           [&](CanvasState& state) { moveItems(state, moved, offset); });
}

QSizeF ItemDrag::companionOffset(const QUuid& id, const Selection& selection) const {
    if (dragging_ && selection.contains(id) && primaryId_ != id) {
        return offset_;
    }
    return QSizeF(0, 0);
}

void MarqueeGesture::change(QPointF press, QPointF current) {
    const QPointF d = current - press;
    if (!rect_ && std::hypot(d.x(), d.y()) < startDistance) {
        return;
    }
    rect_ = QRectF(std::min(press.x(), current.x()), std::min(press.y(), current.y()),
                   std::abs(d.x()), std::abs(d.y()));
}

void MarqueeGesture::end(CanvasContext& context) {
    if (!rect_) {
        return;
    }
    const QRectF canvas = context.controller.canvasRect(*rect_);
    rect_.reset();
    context.selection = itemsMeeting(context.document.state(), canvas);
}

} // namespace pintora
