#pragma once

#include "canvas/Tool.h"
#include "model/SelectionEdits.h"

#include <QUndoStack>
#include <functional>

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
    // Tells the user something a gesture could not do (a picture too large to change).
    std::function<void(const QString&)> tell = {};
};

} // namespace pintora
