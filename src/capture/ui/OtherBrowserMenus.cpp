#include "capture/ui/OtherBrowserMenus.h"

#include "capture/ui/LiveMenuButton.h"
#include "platform/CommandBus.h"
#include "platform/MenuText.h"
#include "platform/PortalScreenshot.h"
#include "platform/ui/BrowserBridge.h"
#include "platform/ui/DisplayServer.h"

namespace pintora {

namespace {

QAction* separator(QObject* owner) {
    auto* line = new QAction(owner);
    line->setSeparator(true);
    return line;
}

QAction* disabled(const QString& title, QObject* owner) {
    auto* item = new QAction(title, owner);
    item->setEnabled(false);
    return item;
}

} // namespace

QList<QAction*> importMenuItems(const QList<ImportedTab>& tabs,
                                const std::function<void(const QString&)>& onPick, QObject* owner) {
    QList<QAction*> items{menuHeader(QStringLiteral("Import URL from browser tab"), owner),
                          separator(owner)};
    if (tabs.isEmpty()) {
        items << disabled(QStringLiteral("No browser tabs found"), owner);
        return items;
    }
    bool first = true;
    for (const auto& [browser, group] : groupByBrowser(tabs)) {
        if (!first) items << separator(owner);
        first = false;
        items << disabled(menuItemText(browser), owner);
        for (const ImportedTab& tab : group) {
            auto* item = new QAction(menuItemText(menuTitle(tab)), owner);
            item->setToolTip(tab.url);
            QObject::connect(item, &QAction::triggered, item,
                             [onPick, url = tab.url] { onPick(url); });
            items << item;
        }
    }
    return items;
}

QList<QAction*> windowMenuItems(const QList<windowCapture::BrowserWindow>& windows,
                                QObject* owner) {
    QList<QAction*> items{menuHeader(QStringLiteral("Capture a browser window"), owner),
                          separator(owner)};
    if (windows.isEmpty()) {
        items << disabled(QStringLiteral("No browser windows found"), owner);
        return items;
    }
    for (const windowCapture::BrowserWindow& window : windows) {
        auto* item = new QAction(menuItemText(windowCapture::menuTitle(window)), owner);
        item->setData(window.id);
        QObject::connect(item, &QAction::triggered, item, [id = window.id] {
            CommandBus::shared().post(command::captureBrowserWindow,
                                      {{command::windowIDKey, QVariant::fromValue(id)}});
        });
        items << item;
    }
    return items;
}

LiveMenuButton* makeImportURLButton(std::function<void(const QString&)> onPick) {
    return new LiveMenuButton(
        QStringLiteral("square.and.arrow.down.on.square"),
        QStringLiteral("Import URL from a browser tab"),
        [onPick](QObject* owner) { return importMenuItems(listAllTabs(), onPick, owner); });
}

QList<QAction*> portalMenuItems(bool portalAvailable, QObject* owner) {
    QList<QAction*> items{menuHeader(QStringLiteral("Capture a browser window"), owner),
                          separator(owner)};
    if (!portalAvailable) {
        items << disabled(QStringLiteral("Window capture is unavailable: no desktop portal "
                                         "(xdg-desktop-portal) answers"),
                          owner);
        return items;
    }
    auto* item = new QAction(QStringLiteral("Capture a Window…"), owner);
    item->setToolTip(QStringLiteral("The desktop lets you pick a window or an area"));
    QObject::connect(item, &QAction::triggered, item,
                     [] { CommandBus::shared().post(command::captureWithPortal, {}); });
    items << item;
    return items;
}

LiveMenuButton* makeBrowserWindowButton() {
    return new LiveMenuButton(QStringLiteral("camera.viewfinder"),
                              QStringLiteral("Capture a browser window"), [](QObject* owner) {
                                  // A Wayland client sees no other windows: the desktop's portal
                                  // picks one.
                                  if (onWayland())
                                      return portalMenuItems(PortalScreenshot::available(), owner);
                                  return windowMenuItems(windowCapture::listWindows(), owner);
                              });
}

} // namespace pintora
