#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QMainWindow;
class QMenuBar;

namespace pintora {

// A group of keys as the window lists them: a menu's commands with their keys, or the canvas's.
struct ShortcutGroup {
    QString title;
    QList<QPair<QString, QString>> keys; // what it does, the keys in the platform's spelling
};

// The keys of the menu bar's commands, a group a menu in the menus' order, then the canvas's
// own: read from the menus, so the list never drifts from them.
QList<ShortcutGroup> shortcutGroups(const QMenuBar* bar);

// The "Keyboard Shortcuts" window for `window`'s menus: one, brought forward when asked again.
void showKeyboardShortcuts(QMainWindow* window);

} // namespace pintora
