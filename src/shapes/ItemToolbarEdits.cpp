#include "shapes/ItemToolbarEdits.h"

#include "canvas/CanvasController.h"
#include "model/Geometry.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "shapes/CropGeometry.h"

#include <algorithm>
#include <utility>

namespace pintora {

QPointF floatingToolbarCenter(const QRectF& frame, const CanvasController& controller,
                              QSizeF liveOffset, bool forImage) {
    const QRectF f = standardized(frame);
    const QPointF tl = controller.viewPoint(f.topLeft());
    const QPointF br = controller.viewPoint(f.bottomRight());
    const double lift = forImage ? 30 : 28;
    return {(tl.x() + br.x()) / 2 + liveOffset.width(),
            std::min(tl.y(), br.y()) - lift + liveOffset.height()};
}

namespace {

// One undoable edit of the payload of type T with that id.
template <typename T, typename Edit>
void editItem(PintoraDocument& document, QUndoStack* stack, const QString& name, const QUuid& id,
              Edit edit) {
    const CanvasItem* current = findItem(document.state(), id);
    if (!current || !std::holds_alternative<T>(current->payload())) {
        return; // nothing to change, so no step either
    }
    document.apply(stack, name, [&](CanvasState& state) {
        if (CanvasItem* item = findItem(state, id)) {
            if (std::holds_alternative<T>(item->payload())) {
                edit(std::get<T>(item->payload()));
            }
        }
    });
}

const ShapeItem* calloutWithId(const PintoraDocument& document, const QUuid& id) {
    const CanvasItem* item = findItem(document.state(), id);
    const ShapeItem* shape = item ? item->shape() : nullptr;
    return shape && shape->kind == ShapeKind::callout ? shape : nullptr;
}

} // namespace

void setArrowheads(PintoraDocument& document, QUndoStack* stack, const QUuid& id, bool hasStartHead,
                   bool hasEndHead) {
    editItem<ShapeItem>(document, stack, actionName::arrowheads, id, [&](ShapeItem& shape) {
        shape.hasStartHead = hasStartHead;
        shape.hasEndHead = hasEndHead;
    });
}

void setCalloutHead(PintoraDocument& document, QUndoStack* stack, const QUuid& id,
                    CalloutHead head) {
    editItem<ShapeItem>(document, stack, actionName::calloutShape, id,
                        [&](ShapeItem& shape) { shape.calloutHead = head; });
}

void setCalloutSizeLive(PintoraDocument& document, const QUuid& id, double size) {
    if (!calloutWithId(document, id)) {
        return;
    }
    CanvasState state = document.state();
    findItem(state, id)->shape()->calloutSize = size;
    document.setState(std::move(state));
}

void commitCalloutSize(PintoraDocument& document, QUndoStack* stack, UserDefaults& defaults,
                       const QUuid& id, double sizeBefore) {
    const ShapeItem* callout = calloutWithId(document, id);
    if (!callout) {
        return;
    }
    const double size = callout->calloutSize;
    if (stack) {
        CanvasState before = document.state();
        findItem(before, id)->shape()->calloutSize = sizeBefore;
        document.registerStep(stack, actionName::calloutSize, before);
    }
    defaults.setDefaultCalloutSize(size);
}

void setNoteStyle(PintoraDocument& document, QUndoStack* stack, const QUuid& id, TextStyle style) {
    editItem<TextItem>(document, stack, actionName::changeNoteStyle, id, [&](TextItem& text) {
        text.style = style;
        text.colorHex = QString::fromLatin1(lookOf(style).foregroundHex);
    });
}

void applyCrop(PintoraDocument& document, QUndoStack* stack, const QUuid& id, const QRectF& crop) {
    editItem<ImageItem>(document, stack, actionName::crop, id,
                        [&](ImageItem& image) { image = applyCropKeepingAnchor(image, crop); });
}

void resetCrop(PintoraDocument& document, QUndoStack* stack, const QUuid& id) {
    editItem<ImageItem>(document, stack, actionName::resetCrop, id,
                        [&](ImageItem& image) { image = applyCropKeepingAnchor(image, fullCrop); });
}

void CalloutSizeSlider::valueChanged(PintoraDocument& document, const QUuid& id, double value) {
    const ShapeItem* callout = calloutWithId(document, id);
    if (!callout) {
        return;
    }
    if (!dragOriginalSize_) {
        dragOriginalSize_ = callout->calloutSize;
    }
    setCalloutSizeLive(document, id, value);
}

void CalloutSizeSlider::released(PintoraDocument& document, QUndoStack* stack,
                                 UserDefaults& defaults, const QUuid& id) {
    if (const std::optional<double> before = std::exchange(dragOriginalSize_, std::nullopt)) {
        commitCalloutSize(document, stack, defaults, id, *before);
    }
}

} // namespace pintora
