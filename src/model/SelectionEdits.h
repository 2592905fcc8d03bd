#pragma once

#include "canvas/Tool.h"
#include "model/CanvasState.h"

#include <QSet>
#include <QUndoStack>
#include <QUuid>
#include <optional>

namespace pintora {

class PintoraDocument;

// The window's selection: item ids; ids that name no item match nothing.
using Selection = QSet<QUuid>;

enum class ArrangeOp { bringToFront, sendToBack, bringForward, sendBackward };

namespace actionName {
inline const QString deleteItems = QStringLiteral("Delete");
inline const QString duplicate = QStringLiteral("Duplicate");
inline const QString nudge = QStringLiteral("Nudge");
inline const QString paste = QStringLiteral("Paste");
inline const QString capture = QStringLiteral("Capture");
QString arrange(ArrangeOp op);
} // namespace actionName

// The offset of a duplicate or a pasted copy from its original.
inline constexpr double copyOffset = 20;

// A copy of `item` with a fresh id, moved by copyOffset right and down.
CanvasItem offsetCopy(const CanvasItem& item);

// The items whose ids are selected, in stacking order.
QList<CanvasItem> selectedItems(const CanvasState& state, const Selection& selection);

void deleteSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection);
void duplicateSelection(PintoraDocument& document, QUndoStack* stack, Selection& selection);
void arrangeSelection(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                      ArrangeOp op);
void nudgeSelection(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                    double dx, double dy);
// Not an edit: picks the select tool and selects every item.
void selectAllItems(const PintoraDocument& document, Selection& selection, Tool& tool);

// The item the keyboard selects next (Tab, `forward`) or before (Shift+Tab), in stacking order:
// the one above the topmost selected item, or below the lowest; from an empty selection the
// lowest or the topmost item. None once the step passes either end.
std::optional<QUuid> steppedItem(const QList<CanvasItem>& items, const Selection& selection,
                                 bool forward);

// The stacking order after `op`, as a pure function of the items and the selection.
QList<CanvasItem> arranged(const QList<CanvasItem>& items, const Selection& selection,
                           ArrangeOp op);

} // namespace pintora
