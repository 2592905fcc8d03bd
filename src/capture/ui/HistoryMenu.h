#pragma once

#include <QList>
#include <QString>
#include <functional>

class QAction;
class QObject;

namespace pintora {

class BrowsingHistoryStore;
class LiveMenuButton;

// The history menu: one item per visit, newest first, then "Clear History"; or a single
// disabled "No history yet".
QList<QAction*> historyMenuItems(BrowsingHistoryStore& store,
                                 const std::function<void(const QString&)>& onPick, QObject* owner);

// The address row's history button; a pick loads that address.
LiveMenuButton* makeHistoryMenuButton(std::function<void(const QString&)> onPick);

} // namespace pintora
