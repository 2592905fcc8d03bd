#include "app/ui/AppFixture.h"
#include "app/ui/KeyboardShortcuts.h"
#include "model/DocumentFile.h"
#include "model/ItemClipboard.h"
#include "window/ui/ContentView.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>

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

TEST_F(MenuCommandsTest, TheViewMenuZoomsAndTheShortcutsWindowListsEveryMenusKeys) {
    DocumentWindow* window = openNew();
    addBoxes(window, 2);
    window->contentView()->setActiveTab(AppTab::annotate);
    const auto zoom = [&] { return window->document()->state().zoom; };
    const auto press = [&](const char* title) {
        menuAction(window, QString::fromLatin1(title))->trigger();
        window->contentView()->storeView();
    };
    press("Actual Size");
    EXPECT_EQ(zoom(), 1);
    press("Zoom In");
    EXPECT_EQ(zoom(), 1.5);
    press("Zoom Out");
    press("Zoom Out");
    EXPECT_EQ(zoom(), 0.75);
    QTest::keyClick(window, Qt::Key_0, Qt::ControlModifier | Qt::AltModifier);
    window->contentView()->storeView();
    EXPECT_EQ(zoom(), 1) << "Ctrl+Alt+0";
    window->contentView()->setActiveTab(AppTab::capture);
    press("Zoom In");
    EXPECT_EQ(zoom(), 1) << "the capture tab shows no canvas to zoom";

    const QList<ShortcutGroup> groups = shortcutGroups(window->menuBar());
    QStringList titles;
    for (const ShortcutGroup& group : groups)
        titles << group.title;
    EXPECT_EQ(titles.join(u' '), "File Edit View Arrange Help Tools Canvas Crop Image");
    const ShortcutGroup& view = groups[2];
    ASSERT_FALSE(view.keys.isEmpty());
    EXPECT_EQ(view.keys[0].first, "Zoom In");
    EXPECT_EQ(view.keys[0].second, "Ctrl+=, Ctrl++");
    EXPECT_EQ(groups[0].keys.value(4).first, "Save As") << "no ellipsis, no mnemonic";
    menuAction(window, QStringLiteral("Keyboard Shortcuts"))->trigger();
    auto* shown = window->findChild<QDialog*>(QStringLiteral("keyboardShortcuts"));
    ASSERT_TRUE(shown && shown->isVisible());
    EXPECT_EQ(shown->findChild<QTreeWidget*>()->topLevelItemCount(), groups.size());
    menuAction(window, QStringLiteral("Keyboard Shortcuts"))->trigger();
    EXPECT_EQ(window->findChildren<QDialog*>(QStringLiteral("keyboardShortcuts")).size(), 1);
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
