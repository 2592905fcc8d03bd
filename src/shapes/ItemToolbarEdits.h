#pragma once

#include "model/CanvasItem.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QUndoStack>
#include <QUuid>
#include <optional>

namespace pintora {

class CanvasController;
class PintoraDocument;
class UserDefaults;

namespace actionName {
inline const QString arrowheads = QStringLiteral("Arrowheads");
inline const QString calloutShape = QStringLiteral("Callout Shape");
inline const QString calloutSize = QStringLiteral("Callout Size");
inline const QString changeNoteStyle = QStringLiteral("Change Note Style");
inline const QString crop = QStringLiteral("Crop");
inline const QString resetCrop = QStringLiteral("Reset Crop");
} // namespace actionName

// The view point a floating toolbar is centred on: above the middle of the item's top edge,
// 28 points up (30 for a picture's toolbar). It is never pulled back into view.
QPointF floatingToolbarCenter(const QRectF& frame, const CanvasController& controller,
                              QSizeF liveOffset, bool forImage);

// The edits of the item toolbars. Each finds the item by id and changes nothing when it is
// gone or no longer of the kind the toolbar was made for.
void setArrowheads(PintoraDocument& document, QUndoStack* stack, const QUuid& id, bool hasStartHead,
                   bool hasEndHead);
void setCalloutHead(PintoraDocument& document, QUndoStack* stack, const QUuid& id,
                    CalloutHead head);
// Live, while the slider moves: no undo step.
void setCalloutSizeLive(PintoraDocument& document, const QUuid& id, double size);
// When the slider is let go: one step back to `sizeBefore`, and the size becomes the default
// for new callouts.
void commitCalloutSize(PintoraDocument& document, QUndoStack* stack, UserDefaults& defaults,
                       const QUuid& id, double sizeBefore);
// A card style also sets the text colour to the style's own.
void setNoteStyle(PintoraDocument& document, QUndoStack* stack, const QUuid& id, TextStyle style);
// The crop editor's result; a step is registered even when the crop is unchanged.
void applyCrop(PintoraDocument& document, QUndoStack* stack, const QUuid& id, const QRectF& crop);
void resetCrop(PintoraDocument& document, QUndoStack* stack, const QUuid& id);

// The callout toolbar's size slider: a whole drag is one step back to the size it began at.
class CalloutSizeSlider {
public:
    void valueChanged(PintoraDocument& document, const QUuid& id, double value);
    void released(PintoraDocument& document, QUndoStack* stack, UserDefaults& defaults,
                  const QUuid& id);

private:
    std::optional<double> dragOriginalSize_;
};

} // namespace pintora
