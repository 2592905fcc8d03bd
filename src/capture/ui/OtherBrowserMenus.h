#pragma once

#include "capture/OtherBrowsers.h"
#include "platform/ui/X11WindowCapture.h"

#include <QAction>
#include <QList>
#include <functional>

namespace pintora {

class LiveMenuButton;

// The import menu: a heading, then the other browsers' tabs grouped by browser (names in
// code-point order, a separator between groups), each tab by its title or its address.
QList<QAction*> importMenuItems(const QList<ImportedTab>& tabs,
                                const std::function<void(const QString&)>& onPick, QObject* owner);

// The window menu: a heading, then one item per browser window; choosing one posts the
// capture command with its window number.
QList<QAction*> windowMenuItems(const QList<windowCapture::BrowserWindow>& windows, QObject* owner);
// The same menu on Wayland: one item that asks the desktop's portal, or why there is none.
QList<QAction*> portalMenuItems(bool portalAvailable, QObject* owner);

// The address row's buttons, listing anew at every click.
LiveMenuButton* makeImportURLButton(std::function<void(const QString&)> onPick);
LiveMenuButton* makeBrowserWindowButton();

} // namespace pintora
