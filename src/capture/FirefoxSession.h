#pragma once

#include "capture/OtherBrowsers.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace pintora {

// Firefox keeps its open windows and tabs in `sessionstore-backups/recovery.jsonlz4` inside
// the profile: the magic "mozLz40\0", the decoded size (32 bits, little end first) and one
// LZ4 block of JSON.

// The JSON of such a file; none when it is not one or claims more than `maxSize` bytes.
std::optional<QByteArray> decodeMozLz4(const QByteArray& file, qint64 maxSize = 256LL << 20);

// The open tabs of a session's JSON, window by window, each at its current history entry.
QList<ImportedTab> tabsFromFirefoxSession(const QByteArray& json, const QString& appName);

// The profile folders `profiles.ini` in a Firefox folder lists, the default one first.
QStringList firefoxProfiles(const QString& firefoxDir);

// The tabs of every profile under the given folders whose session file reads.
QList<ImportedTab> readFirefoxTabs(const QStringList& profileDirs, const QString& appName);

} // namespace pintora
