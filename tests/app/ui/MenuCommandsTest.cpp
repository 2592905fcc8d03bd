#include "app/ui/AppFixture.h"
#include "app/ui/KeyboardShortcuts.h"
#include "canvas/ui/CanvasPane.h"
#include "model/DocumentFile.h"
#include "model/ItemClipboard.h"
#include "window/ui/ContentView.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QTreeWidget>
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
    EXPECT_EQ(titles.join(u' '), "File Edit View Arrange Help Tools Canvas");
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

// What a screen reader is told of each control, in both tabs: a name, and a toggle's state.
TEST_F(MenuCommandsTest, EveryControlOfTheWindowHasANameAndTogglesTheirState) {
    DocumentWindow* window = openNew();
    addBoxes(window, 2);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QStringList unnamed, wrongState;
    int seen = 0;
    for (const AppTab tab : {AppTab::capture, AppTab::annotate}) {
        window->contentView()->setActiveTab(tab);
        QCoreApplication::processEvents();
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            // (Qt's own clear button inside a line edit is the line edit's to name.)
            if (!widget->isVisible() || widget->inherits("QLineEditIconButton") ||
                !(button || qobject_cast<QAbstractSlider*>(widget) ||
                  qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget)))
                continue;
            ++seen;
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(widget);
            ASSERT_TRUE(reader);
            const QString what = QString::fromLatin1(widget->metaObject()->className()) + u' ' +
                                 widget->objectName() + u' ' + widget->toolTip();
            if (reader->text(QAccessible::Name).trimmed().isEmpty()) unnamed << what;
            if (button && (reader->state().checkable != button->isCheckable() ||
                           reader->state().checked != button->isChecked()))
                wrongState << what;
        }
    }
    EXPECT_GT(seen, 20);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u'\n').toStdString();
    EXPECT_TRUE(wrongState.isEmpty()) << wrongState.join(u'\n').toStdString();

    // The canvas says what it holds and what is selected, as either changes.
    QAccessibleInterface* canvas =
        QAccessible::queryAccessibleInterface(window->findChild<CanvasPane*>());
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->text(QAccessible::Name), "Canvas");
    EXPECT_EQ(canvas->text(QAccessible::Description), "Canvas: 2 shapes");
    window->contentView()->setSelection({window->document()->state().items[0].id()});
    EXPECT_EQ(canvas->text(QAccessible::Description), "Canvas: 2 shapes; 1 selected");
    TextItem note;
    note.style = TextStyle::warning;
    window->document()->apply(window->document()->undoStack(), QStringLiteral("Add"),
                              [&](CanvasState& state) { state.items.append(note); });
    EXPECT_EQ(canvas->text(QAccessible::Description), "Canvas: 2 shapes, 1 note; 1 selected");
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
