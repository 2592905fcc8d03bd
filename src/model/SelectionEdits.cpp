#include "model/SelectionEdits.h"

#include "model/PintoraDocument.h"

namespace pintora {

QString actionName::arrange(ArrangeOp op) {
    switch (op) {
    case ArrangeOp::bringToFront:
        return QStringLiteral("Bring to Front");
    case ArrangeOp::sendToBack:
        return QStringLiteral("Send to Back");
    case ArrangeOp::bringForward:
        return QStringLiteral("Bring Forward");
    case ArrangeOp::sendBackward:
        return QStringLiteral("Send Backward");
    }
    return QString();
}

CanvasItem offsetCopy(const CanvasItem& item) {
    CanvasItem copy = item;
    std::visit([](auto& payload) { payload.id = newId(); }, copy.payload());
    copy.setFrame(item.frame().translated(copyOffset, copyOffset));
    return copy;
}

QList<CanvasItem> selectedItems(const CanvasState& state, const Selection& selection) {
    QList<CanvasItem> items;
    for (const CanvasItem& item : state.items)
        if (selection.contains(item.id())) items.append(item);
    return items;
}

void deleteSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection) {
    if (selection.isEmpty()) return;
    document.apply(stack, actionName::deleteItems, [&](CanvasState& state) {
        state.items.removeIf([&](const CanvasItem& item) { return selection.contains(item.id()); });
    });
    selection.clear();
}

void duplicateSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection) {
    QList<CanvasItem> copies = selectedItems(document.state(), selection);
    if (copies.isEmpty()) return;
    for (CanvasItem& copy : copies)
        copy = offsetCopy(copy);
    document.apply(stack, actionName::duplicate,
                   [&](CanvasState& state) { state.items.append(copies); });
    selection.clear();
    for (const CanvasItem& copy : copies)
        selection.insert(copy.id());
}

QList<CanvasItem> arranged(const QList<CanvasItem>& items, const Selection& selection,
                           ArrangeOp op) {
    auto isSelected = [&](const CanvasItem& item) { return selection.contains(item.id()); };
    QList<CanvasItem> result;
    switch (op) {
    case ArrangeOp::bringToFront:
    case ArrangeOp::sendToBack: {
        QList<CanvasItem> chosen, others;
        for (const CanvasItem& item : items)
            (isSelected(item) ? chosen : others).append(item);
        result = op == ArrangeOp::bringToFront ? others + chosen : chosen + others;
        break;
    }
    case ArrangeOp::bringForward: {
        // From the top down, so that a selected block moves up by one as a whole.
        result = items;
        for (qsizetype i = items.size() - 1; i >= 0; --i)
            if (isSelected(items[i]) && i + 1 < result.size() && !isSelected(result[i + 1]))
                result.swapItemsAt(i, i + 1);
        break;
    }
    case ArrangeOp::sendBackward: {
        result = items;
        for (qsizetype i = 0; i < items.size(); ++i)
            if (isSelected(items[i]) && i > 0 && !isSelected(result[i - 1]))
                result.swapItemsAt(i - 1, i);
        break;
    }
    }
    return result;
}

void arrangeSelection(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                      ArrangeOp op) {
    if (selection.isEmpty()) return;
    document.apply(stack, actionName::arrange(op),
                   [&](CanvasState& state) { state.items = arranged(state.items, selection, op); });
}

void nudgeSelection(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                    double dx, double dy) {
    if (selection.isEmpty()) return;
    document.apply(stack, actionName::nudge, [&](CanvasState& state) {
        for (CanvasItem& item : state.items)
            if (selection.contains(item.id())) item.setFrame(item.frame().translated(dx, dy));
    });
}

void selectAllItems(const PintoraDocument& document, Selection& selection, Tool& tool) {
    tool = Tool::select;
    selection.clear();
    for (const CanvasItem& item : document.state().items)
        selection.insert(item.id());
}

std::optional<QUuid> steppedItem(const QList<CanvasItem>& items, const Selection& selection,
                                 bool forward) {
    qsizetype low = -1, high = -1;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!selection.contains(items[i].id())) continue;
        if (low < 0) low = i;
        high = i;
    }
    const qsizetype next = low < 0   ? (forward ? 0 : items.size() - 1)
                           : forward ? high + 1
                                     : low - 1;
    if (next < 0 || next >= items.size()) return std::nullopt;
    return items[next].id();
}

} // namespace pintora
