#include "app/ui/AppFixture.h"
#include "model/DocumentFile.h"
#include "model/ItemClipboard.h"
#include "window/ui/ContentView.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>

using namespace pintora;

namespace {
using MenuCommandsTest = test::AppFixture;

bool clipboardHasItems() {
    return QApplication::clipboard()->mimeData()->hasFormat(ItemClipboard::itemsMimeType);
}
} // namespace

TEST_F(MenuCommandsTest, ShortcutsPostTheirCommands) {
    DocumentWindow* window = openNew();
    addBoxes(window, 2);
    const QUuid first = window->document()->state().items[0].id();
    window->contentView()->setSelection({first});
    const struct {
        QKeyCombination keys;
        const char* undoText;
    } cases[] = {
        {Qt::ControlModifier | Qt::Key_D, "Duplicate"},
        {Qt::ControlModifier | Qt::Key_BracketLeft, "Send Backward"},
        {Qt::ControlModifier | Qt::Key_BracketRight, "Bring Forward"},
        {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_BracketLeft, "Send to Back"},
        {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_BracketRight, "Bring to Front"},
        {Qt::ControlModifier | Qt::Key_Z, "Send to Back"}, // undoes the last one
    };
    for (const auto& c : cases) {
        QTest::keyClick(window, c.keys.key(), c.keys.keyboardModifiers());
        EXPECT_EQ(window->document()->undoStack()->undoText(), c.undoText)
            << QKeySequence(c.keys).toString().toStdString();
    }
}

TEST_F(MenuCommandsTest, EditCommandsGoToAFocusedTextFieldFirst) {
    DocumentWindow* window = openNew();
    addBoxes(window, 1);
    ContentView* view = window->contentView();
    view->setSelection({window->document()->state().items[0].id()});
    QApplication::clipboard()->clear();

    auto* field = new QLineEdit(QStringLiteral("example.org"), view->capturePane());
    field->show();
    field->setFocus();
    field->selectAll();
    menuAction(window, QStringLiteral("Copy"))->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "example.org");
    EXPECT_FALSE(clipboardHasItems());
    field->deselect();
    menuAction(window, QStringLiteral("Select All"))->trigger();
    EXPECT_EQ(field->selectedText(), "example.org");
    EXPECT_EQ(view->selection().size(), 1); // the canvas selection is untouched
    menuAction(window, QStringLiteral("Delete"))->trigger();
    EXPECT_EQ(field->text(), QString());
    EXPECT_EQ(window->document()->state().items.size(), 1);

    field->clearFocus();
    menuAction(window, QStringLiteral("Copy"))->trigger();
    EXPECT_TRUE(clipboardHasItems());
    menuAction(window, QStringLiteral("Paste"))->trigger();
    EXPECT_EQ(window->document()->state().items.size(), 2);
    EXPECT_EQ(view->activeTab(), AppTab::annotate);
}

TEST_F(MenuCommandsTest, TheEditMenuEnablesWhatHasSomethingToActOn) {
    DocumentWindow* window = openNew();
    QAction* copy = menuAction(window, QStringLiteral("Copy as PNG"));
    auto* menu = qobject_cast<QMenu*>(copy->parent());
    const auto shown = [&] { emit menu->aboutToShow(); };
    const auto selectionEdits = [&] {
        QStringList enabled;
        for (const char* name : {"Cut", "Copy", "Delete"})
            if (menuAction(window, QString::fromLatin1(name))->isEnabled())
                enabled << QString::fromLatin1(name);
        return enabled.join(u' ');
    };
    shown();
    EXPECT_FALSE(copy->isEnabled()); // an empty canvas
    addBoxes(window, 2);
    shown();
    EXPECT_TRUE(copy->isEnabled());
    EXPECT_EQ(selectionEdits(), QString()) << "nothing selected";
    emit menu->aboutToHide();
    EXPECT_EQ(selectionEdits(), QStringLiteral("Cut Copy Delete")) << "the keys stay live";
    window->contentView()->setSelection({window->document()->state().items[0].id()});
    shown();
    EXPECT_EQ(copy->text(), QStringLiteral("Copy Selection as PNG"));
    EXPECT_EQ(selectionEdits(), QStringLiteral("Cut Copy Delete"));
}

TEST_F(MenuCommandsTest, SaveAndCloseActOnTheirOwnWindow) {
    DocumentWindow* window = app.documents().newDocument();
    DocumentWindow* other = app.documents().newDocument();
    const QString path = dir.filePath(QStringLiteral("saved.pintora"));
    addBoxes(window, 1);
    ASSERT_TRUE(window->saveTo(path));
    addBoxes(window, 1);
    menuAction(window, QStringLiteral("Save"))->trigger();
    EXPECT_FALSE(window->isEdited());
    EXPECT_EQ(readDocumentFile(path, QString()).value().items.size(), 2);

    const QPointer<DocumentWindow> closing = other;
    menuAction(other, QStringLiteral("Close"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull()); // closed windows delete themselves
    EXPECT_EQ(app.documents().windows(), QList<DocumentWindow*>{window});
}
