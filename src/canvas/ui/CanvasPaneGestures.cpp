#include "canvas/CanvasController.h"
#include "canvas/CanvasDecorations.h"
#include "canvas/ui/CanvasPane.h"
#include "model/Geometry.h"
#include "model/PintoraDocument.h"
#include "shapes/ShapeGeometry.h"

#include <QMouseEvent>
#include <cmath>

// Pointer gestures: what a press takes (a handle, an item, the empty canvas) and where its drag
// goes.

namespace pintora {

namespace {

// Pointer travel before a drag starts: for an item in canvas units (its own size), for a handle
// in view points.
constexpr double dragDistance = 10;
// How far from a handle's centre a press still takes it.
constexpr double handleGrabRadius = 7;

double length(QPointF p) {
    return std::hypot(p.x(), p.y());
}

QSizeF sizeOf(QPointF p) {
    return {p.x(), p.y()};
}

} // namespace

// Hit testing with the select tool: pictures and cards anywhere in their box, plain text in
// its box, shapes in their band or box; the topmost item wins.
std::optional<QUuid> CanvasPane::itemAt(QPointF viewPoint) const {
    const QPointF p = controller_.canvasPoint(viewPoint);
    const QList<CanvasItem>& items = document_.state().items;
    for (qsizetype i = items.size() - 1; i >= 0; --i) {
        const CanvasItem& item = items[i];
        const QPointF local = p - offsetOf(item.id());
        bool hit = false;
        if (const ShapeItem* shape = item.shape()) {
            hit = shapeContains(*shape, local);
        } else {
            const QRectF f = standardized(item.frame());
            hit = local.x() >= f.left() && local.x() <= f.right() && local.y() >= f.top() &&
                  local.y() <= f.bottom();
        }
        if (hit) return item.id();
    }
    return std::nullopt;
}

std::optional<CanvasPane::HandlePress> CanvasPane::handleAt(QPointF viewPoint) const {
    // Handles are there only as drawn: for exactly one selected item.
    if (tool_ != Tool::select || selection_.size() != 1) return std::nullopt;
    const CanvasItem* item = handleItem(document_.state(), selection_);
    if (!item || textEdit_.isEditing(item->id())) return std::nullopt;
    auto near = [&](QPointF p) { return length(p - viewPoint) <= handleGrabRadius; };
    if (item->shape() && isLinear(item->shape()->kind)) {
        const auto ends = endpointHandlePositions(item->frame(), controller_);
        // The end is on top of the start when both coincide.
        if (near(ends[1])) return HandlePress{item->id(), Endpoint::end, false};
        if (near(ends[0])) return HandlePress{item->id(), Endpoint::start, false};
        return std::nullopt;
    }
    if (outlineSuppressed(*item, textEdit_.isEditing(item->id()))) return std::nullopt;
    const auto positions = resizeHandlePositions(item->frame(), controller_);
    for (size_t i = 0; i < positions.size(); ++i) {
        if (near(positions[i])) {
            return HandlePress{item->id(), allResizeHandles[i], item->image() != nullptr};
        }
    }
    return std::nullopt;
}

QPointF CanvasPane::offsetOf(const QUuid& id) const {
    if (itemDrag_.primaryId() == id) {
        const QSizeF o = itemDrag_.liveOffset();
        return {o.width(), o.height()};
    }
    const QSizeF o = itemDrag_.companionOffset(id, selection_);
    return {o.width(), o.height()};
}

void CanvasPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressPoint_ = event->position();
    dragStarted_ = false;
    if (std::exchange(keyboardFocus_, false)) update();
    if (tool_ != Tool::select) {
        press_ = DrawPress{};
    } else if (const auto handle = handleAt(pressPoint_)) {
        press_ = *handle;
    } else if (const auto id = itemAt(pressPoint_)) {
        press_ = ItemPress{*id};
    } else {
        press_ = EmptyPress{};
    }
    event->accept();
}

void CanvasPane::mouseMoveEvent(QMouseEvent* event) {
    if (std::holds_alternative<std::monostate>(press_)) return;
    const QPointF t = event->position() - pressPoint_;
    const bool shift = event->modifiers() & Qt::ShiftModifier; // as it is now, not at the press
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    CanvasContext ctx = context();
    if (std::holds_alternative<DrawPress>(press_)) {
        drawing_.change(ctx, event->position(), sizeOf(t), shift);
    } else if (std::holds_alternative<EmptyPress>(press_)) {
        marquee_.change(pressPoint_, event->position());
    } else if (!dragStarted_ &&
               length(t) / (std::holds_alternative<ItemPress>(press_) ? controller_.zoom() : 1) <
                   dragDistance) {
        return;
    } else if (const auto* item = std::get_if<ItemPress>(&press_)) {
        dragStarted_ = true;
        itemDrag_.change(ctx, item->id, sizeOf(t / controller_.zoom()), shift);
    } else if (const auto* handle = std::get_if<HandlePress>(&press_)) {
        dragStarted_ = true;
        const CanvasItem* target = findItem(document_.state(), handle->id);
        if (!target) return;
        QRectF frame;
        if (const auto* corner = std::get_if<ResizeHandle>(&handle->handle)) {
            frame = handleDrag_.resize(*corner, target->frame(), sizeOf(t), controller_.zoom(),
                                       aspectLocked(handle->lockByDefault, shift));
        } else {
            frame = handleDrag_.moveEndpoint(std::get<Endpoint>(handle->handle), target->frame(),
                                             sizeOf(t), controller_.zoom());
        }
        resizeItemLive(document_, handle->id, frame);
    }
    publish(toolBefore, selectionBefore);
}

void CanvasPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || std::holds_alternative<std::monostate>(press_)) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF t = event->position() - pressPoint_;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    CanvasContext ctx = context();
    const Press press = std::exchange(press_, std::monostate{});
    if (std::holds_alternative<DrawPress>(press)) {
        const std::optional<QUuid> editingBefore = textEdit_.editingId();
        drawing_.end(ctx, event->position(), sizeOf(t), shift);
        if (textEdit_.editingId() && textEdit_.editingId() != editingBefore) {
            beginTextEdit(*textEdit_.editingId());
        }
    } else if (std::holds_alternative<EmptyPress>(press)) {
        if (marquee_.rect()) {
            marquee_.end(ctx);
        } else {
            // A click on empty canvas ends text editing and clears the selection.
            endTextEditing();
            selection_.clear();
        }
    } else if (const auto* item = std::get_if<ItemPress>(&press)) {
        if (dragStarted_) {
            itemDrag_.end(ctx, item->id, sizeOf(t / controller_.zoom()));
        } else {
            tapItem(selection_, item->id, shift);
        }
    } else if (const auto* handle = std::get_if<HandlePress>(&press)) {
        if (const std::optional<QRectF> original = handleDrag_.finish()) {
            commitResizeUndo(document_, document_.undoStack(), handle->id, *original);
        }
    }
    dragStarted_ = false;
    publish(toolBefore, selectionBefore);
}

bool CanvasPane::editText(const QUuid& id) {
    const CanvasItem* item = findItem(document_.state(), id);
    if (!item || !item->text()) return false;
    textEdit_.begin(document_, id);
    beginTextEdit(id);
    return true;
}

void CanvasPane::placeAtCentre() {
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    const std::optional<QUuid> editingBefore = textEdit_.editingId();
    CanvasContext ctx = context();
    drawing_.place(ctx, rect().center());
    if (textEdit_.editingId() && textEdit_.editingId() != editingBefore)
        beginTextEdit(*textEdit_.editingId());
    publish(toolBefore, selectionBefore);
}

bool CanvasPane::stepSelection(bool forward) {
    const Selection selectionBefore = selection_;
    const std::optional<QUuid> next = steppedItem(document_.state().items, selection_, forward);
    selection_.clear();
    if (next) {
        selection_.insert(*next);
        // Off screen, the item comes into view; the zoom stays.
        const CanvasItem* item = findItem(document_.state(), *next);
        const QRectF shown = controller_.viewRect(standardized(item->frame()));
        if (!QRectF(rect()).intersects(shown))
            controller_.setPan(controller_.pan() + QPointF(rect().center()) - shown.center());
    }
    publish(tool_, selectionBefore);
    return next.has_value();
}

bool CanvasPane::cropPicture(const QUuid& id) {
    const CanvasItem* item = findItem(document_.state(), id);
    if (!item || !item->image()) return false;
    emit cropRequested(id);
    return true;
}

void CanvasPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (tool_ == Tool::select && event->button() == Qt::LeftButton) {
        if (const auto id = itemAt(event->position()); id && editText(*id)) {
            event->accept();
            return;
        }
    }
    mousePressEvent(event);
}

} // namespace pintora
