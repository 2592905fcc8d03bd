#pragma once

#include "canvas/Tool.h"
#include "model/SelectionEdits.h"

#include <QUndoStack>

namespace pintora {

class CanvasController;
class PintoraDocument;
class UserDefaults;

// What a canvas gesture reads and changes: the window's document, undo history, selection,
// active tool and view, and the preferences for new items.
struct CanvasContext {
    PintoraDocument& document;
    QUndoStack* undoStack; // may be null: edits are made, nothing is registered
    Selection& selection;
    Tool& tool;
    const CanvasController& controller;
    UserDefaults& defaults;
};

} // namespace pintora
