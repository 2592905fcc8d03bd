#include "app/ui/KeyboardShortcuts.h"

#include "canvas/Tool.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pintora {

namespace {
QString plain(QString text) {
    text.remove(u'&');
    if (text.endsWith(u'…')) text.chop(1);
    return text;
}
} // namespace

QList<ShortcutGroup> shortcutGroups(const QMenuBar* bar) {
    QList<ShortcutGroup> groups;
    for (const QAction* menuAction : bar->actions()) {
        const QMenu* menu = menuAction->menu();
        if (!menu) continue;
        ShortcutGroup group{plain(menuAction->text()), {}};
        for (const QAction* action : menu->actions()) {
            if (action->isSeparator() || action->shortcuts().isEmpty()) continue;
            QStringList keys;
            for (const QKeySequence& key : action->shortcuts())
                keys << key.toString(QKeySequence::NativeText);
            group.keys.append({plain(action->text()), keys.join(QStringLiteral(", "))});
        }
        if (!group.keys.isEmpty()) groups.append(group);
    }
    ShortcutGroup tools{QObject::tr("Tools"), {}};
    for (const Tool tool : allTools)
        tools.keys.append(
            {displayName(tool), QString(QChar::fromLatin1(infoOf(tool).shortcutKey).toUpper())});
    groups.append(tools);
    groups.append(
        {QObject::tr("Canvas"),
         {{QObject::tr("Move the keyboard into the canvas, and on"), QObject::tr("Tab")},
          {QObject::tr("Select the next or previous item"), QObject::tr("Tab, Shift+Tab")},
          {QObject::tr("Clear the selection"), QObject::tr("Esc")},
          {QObject::tr("Move the selection"), QObject::tr("Arrow keys")},
          {QObject::tr("Move the selection by 10"), QObject::tr("Shift+Arrow keys")},
          {QObject::tr("Delete the selection"), QObject::tr("Delete, Backspace")},
          {QObject::tr("Edit the selected text or note, crop the picture"), QObject::tr("Return")},
          {QObject::tr("Place the tool's item at the centre"), QObject::tr("Return")},
          {QObject::tr("End editing a text"), QObject::tr("Esc")},
          {QObject::tr("Zoom"), QObject::tr("Ctrl+scroll wheel")}}});
    groups.append({QObject::tr("Crop Image"),
                   {{QObject::tr("Move the crop"), QObject::tr("Arrow keys")},
                    {QObject::tr("Resize the crop"), QObject::tr("Ctrl+Arrow keys")},
                    {QObject::tr("By 10 pixels"), QObject::tr("Shift")},
                    {QObject::tr("Done"), QObject::tr("Return")},
                    {QObject::tr("Cancel"), QObject::tr("Esc")}}});
    return groups;
}

void showKeyboardShortcuts(QMainWindow* window) {
    auto* existing = window->findChild<QDialog*>(QStringLiteral("keyboardShortcuts"));
    if (existing) {
        existing->raise();
        existing->activateWindow();
        return;
    }
    auto* dialog = new QDialog(window);
    dialog->setObjectName(QStringLiteral("keyboardShortcuts"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QObject::tr("Keyboard Shortcuts"));
    auto* list = new QTreeWidget(dialog);
    list->setAccessibleName(QObject::tr("Keyboard shortcuts"));
    list->setColumnCount(2);
    list->setHeaderLabels({QObject::tr("Command"), QObject::tr("Keys")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    for (const ShortcutGroup& group : shortcutGroups(window->menuBar())) {
        auto* heading = new QTreeWidgetItem(list, {group.title});
        heading->setFirstColumnSpanned(true);
        QFont bold = heading->font(0);
        bold.setBold(true);
        heading->setFont(0, bold);
        for (const auto& [what, keys] : group.keys)
            new QTreeWidgetItem(heading, {what, keys});
        heading->setExpanded(true);
    }
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(list);
    dialog->resize(520, 600);
    dialog->show();
}

} // namespace pintora
