#include "canvas/MoveMode.h"

#include "canvas/CanvasController.h"
#include "canvas/SelectionGestures.h"
#include "model/PintoraDocument.h"

#include <algorithm>
#include <utility>

namespace pintora {

namespace {

// The state with every remembered item back at its remembered frame.
CanvasState withFrames(CanvasState state, const QHash<QUuid, QRectF>& frames) {
    for (CanvasItem& item : state.items) {
        const auto it = frames.constFind(item.id());
        if (it != frames.constEnd()) {
            item.setFrame(*it);
        }
    }
    return state;
}

} // namespace

void MoveMode::enter(CanvasContext& context, const QUuid& hitId) {
    active_ = true;
    primaryId_ = hitId;
    if (!context.selection.contains(hitId)) {
        context.selection = {hitId};
    }
    originals_.clear();
    for (const CanvasItem& item : context.document.state().items) {
        if (context.selection.contains(item.id())) {
            originals_.insert(item.id(), item.frame());
        }
    }
}

void MoveMode::change(CanvasContext& context, QSizeF translation) {
    if (!active_) {
        return;
    }
    const double z = std::max(context.controller.zoom(), 0.0001);
    const QPointF d(translation.width() / z, translation.height() / z);
    CanvasState state = context.document.state();
    for (CanvasItem& item : state.items) {
        const auto it = originals_.constFind(item.id());
        if (it != originals_.constEnd()) {
            item.setFrame(it->translated(d));
        }
    }
    context.document.setState(std::move(state));
}

void MoveMode::end(CanvasContext& context, double dragLength) {
    if (!active_) {
        return;
    }
    const QHash<QUuid, QRectF> originals = std::exchange(originals_, {});
    const std::optional<QUuid> primary = std::exchange(primaryId_, std::nullopt);
    active_ = false;
    if (dragLength > clickDistance) {
        context.document.registerStep(context.undoStack, actionName::move,
                                      withFrames(context.document.state(), originals));
    } else {
        // A click or a wobble moves nothing: put back what the live frames shifted, rather
        // than leave a change no undo step knows about.
        context.document.setState(withFrames(context.document.state(), originals));
    }
    if (primary) {
        context.selection = {*primary};
    }
    context.tool = Tool::select;
}

} // namespace pintora
