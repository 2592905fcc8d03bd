#pragma once

#include "canvas/CanvasContext.h"
#include "support/Workbench.h"

#include <gtest/gtest.h>

namespace pintora::test {

// A document with its undo history, selection, tool, view and preferences, as a window holds
// them, for driving the canvas gestures without one.
struct CanvasFixture : ::testing::Test, Workbench {
    Selection selection;
    Tool tool = Tool::select;
    CanvasContext context{document, document.undoStack(), selection, tool, controller, defaults};

    QString undoText() const { return document.undoStack()->undoText(); }
    int steps() const { return document.undoStack()->count(); }
};

inline TextItem textAt(QRectF frame, const QString& string = QStringLiteral("words"),
                       TextStyle style = TextStyle::plain) {
    return TextItem{.frame = frame, .string = string, .style = style};
}

} // namespace pintora::test
