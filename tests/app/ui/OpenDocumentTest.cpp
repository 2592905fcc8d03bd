#include "app/ui/DocumentController.h"
#include "model/DocumentFile.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "support/TestFiles.h"
#include "window/ui/DocumentWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
class OpenDocumentTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Dialogs owned by a window go with it.
        QList<QPointer<QWidget>> windows;
        for (QWidget* widget : QApplication::topLevelWidgets())
            windows.append(widget);
        for (const QPointer<QWidget>& widget : windows)
            if (widget && !widget->parent()) delete widget;
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    UserDefaults defaults{&settings};
    DocumentController controller{defaults};
};
} // namespace

TEST_F(OpenDocumentTest, ABadFileOpensNothingAndTheUserIsToldWhy) {
    const QString file = dir.filePath(QStringLiteral("broken.pintora"));
    test::writeAll(file,
                   R"({"items":[{"shape":{"_0":{"kind":"hexagon","frame":[[0,0],[1,1]]}}}]})");

    EXPECT_EQ(controller.openFile(file), nullptr);
    EXPECT_TRUE(controller.windows().isEmpty());
    QMessageBox* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMessageBox*>(widget)) box = candidate;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(QStringLiteral("broken.pintora")));
    EXPECT_EQ(box->informativeText(), R"(items[0].shape._0.kind: "hexagon" is not a shape kind)");
}

TEST_F(OpenDocumentTest, AGoodFileOpensOnceInATitledWindow) {
    const QString file = dir.filePath(QStringLiteral("shots.pintora"));
    ASSERT_EQ(writeDocumentFile(file, test::sampleState()), QString());

    DocumentWindow* window = controller.openFile(file);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "shots.pintora[*]");
    EXPECT_EQ(window->document()->state().items.size(), 3);
    EXPECT_EQ(controller.openFile(file), window);
    EXPECT_EQ(controller.windows().size(), 1);
}

TEST_F(OpenDocumentTest, ANewDocumentStartsAtTheConfiguredPage) {
    defaults.setDefaultURL(QStringLiteral("https://configured.example/"));
    DocumentWindow* window = controller.newDocument();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Untitled[*]");
    EXPECT_FALSE(window->isWindowModified());
    window->document()->apply(window->document()->undoStack(), QStringLiteral("Nudge"),
                              [](CanvasState& state) { state.panX = 1; });
    EXPECT_TRUE(window->isWindowModified()); // an undo step marks the document edited
    window->document()->undoStack()->undo();
    EXPECT_FALSE(window->isWindowModified());
    ASSERT_EQ(window->document()->state().tabs.size(), 1);
    EXPECT_EQ(window->document()->state().tabs[0].url, "https://configured.example/");
    window->close(); // windows delete themselves when closed
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(controller.windows().isEmpty());
}
