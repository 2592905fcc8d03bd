#pragma once

#include "capture/OtherBrowsers.h"

#include <QList>

namespace pintora {

// The open tabs of the other browsers running on this desktop, browser by browser in menu
// order: a Chromium-family browser is asked through its DevTools endpoint when it runs with
// remote debugging, else its session files are read; Firefox's session store is read. Every
// source that fails or is slow adds nothing; the whole listing stays within `budgetMs`.
QList<ImportedTab> listAllTabs(int budgetMs = 900, const QString& home = QString(),
                               const QString& procRoot = QStringLiteral("/proc"));

// The pages a DevTools endpoint on 127.0.0.1 lists, asked over plain HTTP with a time limit;
// none when it does not answer in time.
std::optional<QList<ImportedTab>> devToolsTabs(quint16 port, const QString& appName, int timeoutMs);

} // namespace pintora
