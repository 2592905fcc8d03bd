#pragma once

#include <QList>
#include <QToolButton>
#include <functional>

class QAction;
class QMenu;

namespace pintora {

class PopupAnchor;

// A small borderless button whose menu is built at the moment it is clicked, so it always
// shows the current state (the history, the open tabs of other browsers). Actions carry their
// own handlers (connected to `triggered`); the builder hands them over, the menu owns them.
class LiveMenuButton : public QToolButton {
    Q_OBJECT
public:
    using ItemsBuilder = std::function<QList<QAction*>(QObject* owner)>;

    LiveMenuButton(const QString& symbol, const QString& tooltip, ItemsBuilder builder,
                   QWidget* parent = nullptr);

    void setItemsBuilder(ItemsBuilder builder) { builder_ = std::move(builder); }
    // The menu as a click would build it, without showing it.
    QMenu* buildMenu();

signals:
    // The menu is about to be shown (tests take it from here).
    void menuBuilt(QMenu* menu);

private:
    void popUp();

    ItemsBuilder builder_;
    PopupAnchor* anchor_;
};

// A heading in a menu: disabled, in a small bold font.
QAction* menuHeader(const QString& title, QObject* owner);

} // namespace pintora
