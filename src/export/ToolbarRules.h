#pragma once

#include "canvas/Tool.h"
#include "model/SelectionEdits.h"

#include <QString>
#include <QUndoStack>

namespace pintora {

class PintoraDocument;
class UserDefaults;

namespace actionName {
inline const QString changeColor = QStringLiteral("Change Color");
inline const QString changeWidth = QStringLiteral("Change Width");
inline const QString changeSize = QStringLiteral("Change Size");
} // namespace actionName

// What the annotate toolbar shows, from the tool and the selected items that still exist.
struct ToolbarConditions {
    bool hasSelectedShape = false;
    bool hasSelectedText = false;
    bool hasSelectedFreeformColorable = false; // a shape, or a text that is not a card
    bool textColorActive = false;              // the picker edits the text colour

    bool showsColorPicker = false;
    bool showsLineWidth = false;
    bool showsFontSize = false;
    bool showsNoteStyle = false;

    // Changes exactly when the colour picker must be made anew (dropping an open popover).
    QString colorPickerKey;
};

ToolbarConditions toolbarConditions(const CanvasState& state, const Selection& selection,
                                    Tool tool);

// The colour the picker shows: the default text or stroke colour.
QString toolbarColor(const ToolbarConditions& conditions, const UserDefaults& defaults);

// A new colour becomes the default it was read from and, with a selection, the colour of
// every selected shape and text (pictures have none) in one "Change Color" step.
void changeColor(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                 const ToolbarConditions& conditions, UserDefaults& defaults, const QString& hex);
// The width of new shapes and, with a selection, of the selected shapes ("Change Width").
void changeWidth(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                 double width);
// The font size of new texts and, with a selection, of the selected texts ("Change Size").
void changeFontSize(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                    double size);
// The style of new notes only; selected notes keep theirs. No undo step.
void setDefaultNoteStyle(PintoraDocument& document, TextStyle style);

// A hash of everything an exported picture shows but the pictures' bytes (an id's bytes never
// change); equal tokens mean the cached render can be reused within one run.
quint64 thumbContentToken(const CanvasState& state);

} // namespace pintora
