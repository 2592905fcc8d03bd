#pragma once

#include "canvas/CanvasContext.h"
#include "canvas/CanvasController.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pintora::test {

// A document with its undo history, selection, tool, view and preferences, as a window holds
// them, for driving the canvas gestures without one.
struct CanvasFixture : ::testing::Test {
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    UserDefaults defaults{&settings};
    PintoraDocument document{QString()};
    Selection selection;
    Tool tool = Tool::select;
    CanvasController controller;
    CanvasContext context{document, document.undoStack(), selection, tool, controller, defaults};

    QUuid add(CanvasItem item) {
        CanvasState state = document.state();
        state.items.append(item);
        document.setState(state);
        return item.id();
    }
    const CanvasItem& item(const QUuid& id) const { return *findItem(document.state(), id); }
    QRectF frame(const QUuid& id) const { return item(id).frame(); }
    QString undoText() const { return document.undoStack()->undoText(); }
    int steps() const { return document.undoStack()->count(); }
};

inline ShapeItem shapeAt(ShapeKind kind, QRectF frame) {
    return makeShape(kind, frame);
}

inline TextItem textAt(QRectF frame, const QString& string = QStringLiteral("words"),
                       TextStyle style = TextStyle::plain) {
    TextItem text;
    text.frame = frame;
    text.string = string;
    text.style = style;
    return text;
}

} // namespace pintora::test
