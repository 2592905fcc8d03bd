#pragma once

#include "canvas/CanvasController.h"
#include "model/PintoraDocument.h"
#include "support/Preferences.h"

namespace pintora::test {

// What a document window gives the canvas and its toolbars: a document with its undo
// history, the view, and preferences kept in a file of the test's own.
struct Workbench : Preferences {
    PintoraDocument document{QString()};
    CanvasController controller;

    // Appends an item without an undo step; returns its id.
    QUuid add(CanvasItem item) {
        CanvasState state = document.state();
        state.items.append(item);
        document.setState(state);
        return item.id();
    }
    const CanvasItem& item(const QUuid& id) const { return *findItem(document.state(), id); }
    QRectF frame(const QUuid& id) const { return item(id).frame(); }
};

} // namespace pintora::test
