#pragma once

#include <QString>
#include <QUndoStack>
#include <QUuid>

namespace pintora {

class PintoraDocument;

namespace actionName {
inline const QString newTab = QStringLiteral("New Tab");
inline const QString closeTab = QStringLiteral("Close Tab");
inline const QString importURL = QStringLiteral("Import URL");
} // namespace actionName

// The edits of the capture browser's tab list. Adding and closing are undo steps; selecting a
// tab and a page reporting its title or address write the state without one.
void addTab(PintoraDocument& document, QUndoStack* stack, const QString& url,
            const QString& actionName);
// False when `index` names no tab.
bool closeTab(PintoraDocument& document, QUndoStack* stack, qint64 index);
void selectTab(PintoraDocument& document, qint64 index);
// True when the tab exists and its value changed.
bool setTabTitle(PintoraDocument& document, const QUuid& id, const QString& title);
bool setTabURL(PintoraDocument& document, const QUuid& id, const QString& url);
// The active tab's index, or -1 when the index is out of range.
qint64 activeTabIndex(const PintoraDocument& document);

} // namespace pintora
