#pragma once

#include "capture/OtherBrowsers.h"

#include <QByteArray>
#include <QStringList>

namespace pintora {

// Browsers of the Chromium family log their open windows and tabs in `Sessions/Session_*`
// inside each profile: "SNSS", a version, then records of a 16-bit size, a command byte and
// its payload. The commands read here are the ones that say which tab is in which window at
// which place, its navigation entries (address and title) and the current one, and which tabs
// and windows were closed.
QList<ImportedTab> tabsFromChromiumSession(const QByteArray& file, const QString& appName);

// The newest session file of every profile ("Default", "Profile 1", ...) in a user-data
// folder, read; a damaged one contributes what could be read before the damage.
QList<ImportedTab> readChromiumTabs(const QString& userDataDir, const QString& appName);

// The pages of a DevTools `/json/list` answer.
QList<ImportedTab> tabsFromDevToolsList(const QByteArray& json, const QString& appName);

// The port a browser started with remote debugging writes into `DevToolsActivePort`.
std::optional<quint16> devToolsPort(const QString& userDataDir);

} // namespace pintora
