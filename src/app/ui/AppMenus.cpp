#include "app/ui/AppMenus.h"

#include "app/ui/KeyboardShortcuts.h"
#include "app/ui/PintoraApp.h"
#include "model/PintoraDocument.h"
#include "platform/CommandBus.h"
#include "window/ui/ContentView.h"
#include "window/ui/DocumentWindow.h"
#include "window/ui/FocusedText.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace pintora {

namespace {
using Keys = QList<QKeySequence>;

QAction* add(QMenu* menu, const QString& title, const Keys& keys, auto&& slot) {
    QAction* action = menu->addAction(title);
    action->setShortcuts(keys);
    QObject::connect(action, &QAction::triggered, menu, std::forward<decltype(slot)>(slot));
    return action;
}

// Posts without condition: the windows decide whether anything happens.
QAction* addPost(QMenu* menu, const QString& title, const Keys& keys, const QString& name) {
    return add(menu, title, keys, [name] { CommandBus::shared().post(name); });
}

// A focused text input takes the standard edit; only without one does the canvas get it.
QAction* addEdit(QMenu* menu, const QString& title, const Keys& keys, FocusedText::Edit edit,
                 const QString& name) {
    return add(menu, title, keys, [edit, name] {
        if (!FocusedText::perform(edit)) CommandBus::shared().post(name);
    });
}

QKeySequence ctrl(QKeyCombination key) {
    return QKeySequence(QKeyCombination(Qt::ControlModifier | key.keyboardModifiers(), key.key()));
}
QKeySequence shiftCtrl(Qt::Key key) {
    return QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | key);
}
} // namespace

void AppMenus::install(DocumentWindow* window, PintoraApp& app) {
    QMenuBar* bar = window->menuBar();
    using E = FocusedText::Edit;

    QMenu* file = bar->addMenu(QObject::tr("&File"));
    add(file, QObject::tr("New"), {QKeySequence::New}, [&app] { app.documents().newDocument(); });
    addPost(file, QObject::tr("Close Tab"), {shiftCtrl(Qt::Key_W)}, command::closeCaptureTab);
    add(file, QObject::tr("Open…"), {QKeySequence::Open}, [&app] { app.openWithDialog(); });
    file->addSeparator();
    add(file, QObject::tr("Save"), {QKeySequence::Save}, [window] { window->save(); });
    add(file, QObject::tr("Save As…"), {shiftCtrl(Qt::Key_S)}, [window] { window->saveAs(); });
    file->addSeparator();
    addPost(file, QObject::tr("Export as PNG…"), {shiftCtrl(Qt::Key_E)}, command::exportPNG);
    file->addSeparator();
    add(file, QObject::tr("Close"), {ctrl(Qt::Key_W)}, [window] { window->close(); });
    // Named, so that a modal sheet over the window can take it and Ctrl+Q still quits.
    add(file, QObject::tr("Quit Pintora"), {ctrl(Qt::Key_Q)}, [&app] { app.quit(); })
        ->setObjectName(QStringLiteral("quit"));

    QMenu* edit = bar->addMenu(QObject::tr("&Edit"));
    QUndoStack* undo = window->document()->undoStack();
    QAction* undoAction = undo->createUndoAction(edit, QObject::tr("Undo"));
    undoAction->setShortcuts(QKeySequence::Undo);
    edit->addAction(undoAction);
    QAction* redoAction = undo->createRedoAction(edit, QObject::tr("Redo"));
    redoAction->setShortcuts({shiftCtrl(Qt::Key_Z), ctrl(Qt::Key_Y)});
    edit->addAction(redoAction);
    edit->addSeparator();
    QAction* cut = addEdit(edit, QObject::tr("Cut"), {ctrl(Qt::Key_X)}, E::cut, command::canvasCut);
    QAction* copy =
        addEdit(edit, QObject::tr("Copy"), {ctrl(Qt::Key_C)}, E::copy, command::canvasCopy);
    QAction* copyPicture =
        addPost(edit, QObject::tr("Copy as PNG"), {shiftCtrl(Qt::Key_C)}, command::copyAsPNG);
    addEdit(edit, QObject::tr("Paste"), {ctrl(Qt::Key_V)}, E::paste, command::canvasPaste);
    edit->addSeparator();
    addPost(edit, QObject::tr("Duplicate"), {ctrl(Qt::Key_D)}, command::canvasDuplicate);
    QAction* remove = addEdit(edit, QObject::tr("Delete"), {}, E::remove, command::canvasDelete);
    // The open menu shows what would happen: Cut, Copy and Delete need a selection (or a text
    // field holding the keyboard), Copy as PNG something to copy and says what it copies.
    // Closed, every key stays live and the window decides.
    const QList<QAction*> gated{cut, copy, copyPicture, remove};
    QObject::connect(edit, &QMenu::aboutToShow, copyPicture, [=] {
        const ContentView* view = window->contentView();
        const bool selected = !view->selection().isEmpty() || FocusedText::current();
        for (QAction* action : {cut, copy, remove})
            action->setEnabled(selected);
        copyPicture->setEnabled(view->hasItems());
        copyPicture->setText(view->selection().isEmpty() ? QObject::tr("Copy as PNG")
                                                         : QObject::tr("Copy Selection as PNG"));
    });
    QObject::connect(edit, &QMenu::aboutToHide, copyPicture, [gated] {
        for (QAction* action : gated)
            action->setEnabled(true);
    });
    edit->addSeparator();
    addEdit(edit, QObject::tr("Select All"), {ctrl(Qt::Key_A)}, E::selectAll,
            command::canvasSelectAll);
    edit->addSeparator();
    add(edit, QObject::tr("Settings…"), {ctrl(Qt::Key_Comma)}, [&app] { app.showSettings(); });

    // Ctrl+= is Ctrl++ without Shift on most layouts; both are bound, and the keypad's.
    QMenu* view = bar->addMenu(QObject::tr("&View"));
    addPost(view, QObject::tr("Zoom In"), {ctrl(Qt::Key_Equal), ctrl(Qt::Key_Plus)},
            command::zoomIn);
    addPost(view, QObject::tr("Zoom Out"), {ctrl(Qt::Key_Minus)}, command::zoomOut);
    addPost(view, QObject::tr("Actual Size"), {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0)},
            command::zoomActualSize);
    // Ctrl+0 is the toolbar's Fit button's own; here it is shown, and taken only while the
    // menu is open, so the two never clash.
    addPost(view, QObject::tr("Zoom to Fit"), {ctrl(Qt::Key_0)}, command::zoomToFit)
        ->setShortcutContext(Qt::WidgetShortcut);

    // Shift with a bracket arrives as a brace on most layouts; both spellings are bound.
    QMenu* arrange = bar->addMenu(QObject::tr("&Arrange"));
    addPost(arrange, QObject::tr("Bring to Front"),
            {shiftCtrl(Qt::Key_BracketRight), ctrl(Qt::Key_BraceRight)},
            command::arrangeBringToFront);
    addPost(arrange, QObject::tr("Bring Forward"), {ctrl(Qt::Key_BracketRight)},
            command::arrangeBringForward);
    addPost(arrange, QObject::tr("Send Backward"), {ctrl(Qt::Key_BracketLeft)},
            command::arrangeSendBackward);
    addPost(arrange, QObject::tr("Send to Back"),
            {shiftCtrl(Qt::Key_BracketLeft), ctrl(Qt::Key_BraceLeft)}, command::arrangeSendToBack);

    QMenu* help = bar->addMenu(QObject::tr("&Help"));
    add(help, QObject::tr("Keyboard Shortcuts"), {ctrl(Qt::Key_Question), QKeySequence(Qt::Key_F1)},
        [window] { showKeyboardShortcuts(window); });
    help->addSeparator();
    add(help, QObject::tr("About Pintora"), {}, [window] {
        QMessageBox::about(window, QObject::tr("About Pintora"),
                           QObject::tr("Pintora %1\nCapture web pages at any size, then mark "
                                       "them up.")
                               .arg(QApplication::applicationVersion()));
    });
    add(help, QObject::tr("Check for Updates…"), {}, [&app] { app.updater().checkForUpdates(); });
}

} // namespace pintora
