#include "capture/ui/HistoryMenu.h"

#include "capture/BrowsingHistoryStore.h"
#include "capture/ui/LiveMenuButton.h"
#include "platform/MenuText.h"

#include <QAction>

namespace pintora {

QList<QAction*> historyMenuItems(BrowsingHistoryStore& store,
                                 const std::function<void(const QString&)>& onPick,
                                 QObject* owner) {
    QList<QAction*> items;
    if (store.entries().isEmpty()) {
        auto* empty = new QAction(QObject::tr("No history yet"), owner);
        empty->setEnabled(false);
        return {empty};
    }
    for (const HistoryEntry& entry : store.entries()) {
        auto* item = new QAction(
            menuItemText(truncateMiddle(entry.title.isEmpty() ? entry.url : entry.title)), owner);
        item->setToolTip(entry.url);
        const QString url = entry.url;
        QObject::connect(item, &QAction::triggered, item, [onPick, url] { onPick(url); });
        items.append(item);
    }
    auto* separator = new QAction(owner);
    separator->setSeparator(true);
    auto* clear = new QAction(QObject::tr("Clear History"), owner);
    QObject::connect(clear, &QAction::triggered, clear, [&store] { store.clear(); });
    items << separator << clear;
    return items;
}

LiveMenuButton* makeHistoryMenuButton(std::function<void(const QString&)> onPick) {
    return new LiveMenuButton(
        QStringLiteral("clock.arrow.circlepath"), QObject::tr("History"), [onPick](QObject* owner) {
            return historyMenuItems(BrowsingHistoryStore::shared(), onPick, owner);
        });
}

} // namespace pintora
