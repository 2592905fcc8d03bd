#pragma once

#include "app/ui/PintoraApp.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "support/Preferences.h"
#include "support/TestFiles.h"
#include "window/ui/DocumentWindow.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace pintora::test {

// The application object with its own settings and drafts folder, and helpers to reach its
// windows' menus.
class AppFixture : public ::testing::Test, public Preferences {
protected:
    AppFixture() {
        defaults.setHasSeenIntro(true);
        app.setDraftsDirectory(draftsDir());
    }
    void TearDown() override { closeAll(); }

    // Deletes every window; menus and dialogs owned by a window go with it.
    static void closeAll() {
        QList<QPointer<QWidget>> windows;
        for (QWidget* widget : QApplication::topLevelWidgets())
            windows.append(widget);
        for (const QPointer<QWidget>& widget : windows)
            if (widget && !widget->parent()) delete widget;
    }

    QString draftsDir() const { return dir.filePath(QStringLiteral("Drafts")); }

    static QAction* menuAction(DocumentWindow* window, const QString& title) {
        for (QAction* menu : window->menuBar()->actions())
            if (menu->menu())
                for (QAction* action : menu->menu()->actions())
                    if (action->text() == title) return action;
        ADD_FAILURE() << "no menu item " << title.toStdString();
        return nullptr;
    }

    static void activate(QWidget* window) {
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QCoreApplication::processEvents();
    }

    // A new untitled document, its window in front.
    DocumentWindow* openNew() {
        DocumentWindow* window = app.documents().newDocument();
        activate(window);
        return window;
    }

    static void addBoxes(DocumentWindow* window, int count) {
        window->document()->apply(
            window->document()->undoStack(), QStringLiteral("Add"), [count](CanvasState& state) {
                for (int i = 0; i < count; ++i)
                    state.items.append(makeShape(ShapeKind::rect, QRectF(10 * i, 0, 30, 40)));
            });
    }

    PintoraApp app{defaults, QStringLiteral("0.1.0")};
};

} // namespace pintora::test
