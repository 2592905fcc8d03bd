#include "app/ui/AppFixture.h"

#include <QMessageBox>

using namespace pintora;

namespace {
using OpenDocumentTest = test::AppFixture;
} // namespace

TEST_F(OpenDocumentTest, ABadFileOpensNothingAndTheUserIsToldWhy) {
    const QString file = dir.filePath(QStringLiteral("broken.pintora"));
    test::writeAll(file,
                   R"({"items":[{"shape":{"_0":{"kind":"hexagon","frame":[[0,0],[1,1]]}}}]})");

    EXPECT_EQ(app.documents().openFile(file), nullptr);
    EXPECT_TRUE(app.documents().windows().isEmpty());
    QMessageBox* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMessageBox*>(widget)) box = candidate;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(QStringLiteral("broken.pintora")));
    EXPECT_EQ(box->informativeText(), R"(items[0].shape._0.kind: "hexagon" is not a shape kind)");
}

TEST_F(OpenDocumentTest, ANewDocumentStartsAtTheConfiguredPageAndItsTitleShowsEdits) {
    defaults.setDefaultURL(QStringLiteral("https://configured.example/"));
    DocumentWindow* window = app.documents().newDocument();
    ASSERT_EQ(window->document()->state().tabs.size(), 1);
    EXPECT_EQ(window->document()->state().tabs[0].url, "https://configured.example/");
    addBoxes(window, 1);
    EXPECT_TRUE(window->isWindowModified()); // an undo step marks the document edited
    window->document()->undoStack()->undo();
    EXPECT_FALSE(window->isWindowModified());
}
