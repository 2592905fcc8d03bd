#include "capture/ui/LiveMenuButton.h"

#include "platform/ui/PopupAnchor.h"
#include "platform/ui/Symbols.h"

#include <QAction>
#include <QMenu>

namespace pintora {

namespace {
constexpr int buttonSide = 22;
constexpr int menuGap = 4;
} // namespace

LiveMenuButton::LiveMenuButton(const QString& symbol, const QString& tooltip, ItemsBuilder builder,
                               QWidget* parent)
    : QToolButton(parent), builder_(std::move(builder)), anchor_(new PopupAnchor(this)) {
    setIcon(symbolIcon(symbol));
    setToolTip(tooltip);
    setAutoRaise(true);
    setFixedSize(buttonSide, buttonSide);
    connect(this, &QToolButton::clicked, this, &LiveMenuButton::popUp);
}

QMenu* LiveMenuButton::buildMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setToolTipsVisible(true);
    if (builder_) menu->addActions(builder_(menu));
    return menu;
}

void LiveMenuButton::popUp() {
    QMenu* menu = buildMenu();
    emit menuBuilt(menu);
    anchor_->watch(menu);
    menu->popup(mapToGlobal(QPoint(0, height() + menuGap)));
}

QAction* menuHeader(const QString& title, QObject* owner) {
    auto* action = new QAction(title, owner);
    action->setEnabled(false);
    QFont font = action->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    action->setFont(font);
    return action;
}

} // namespace pintora
