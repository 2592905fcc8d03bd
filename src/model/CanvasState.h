#pragma once

#include "capture/ViewportPreset.h"
#include "model/CanvasItem.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace pintora {

// One page tab of the capture browser.
struct BrowserTab {
    static inline const QString newTabTitle = QStringLiteral("New Tab");

    QUuid id = QUuid::createUuid();
    QString url;
    QString title = newTabTitle;

    // A fresh tab showing the given start address.
    static BrowserTab withURL(const QString& url) { return BrowserTab{QUuid::createUuid(), url}; }

    bool operator==(const BrowserTab&) const = default;
};

// The whole value of one document.
struct CanvasState {
    QList<CanvasItem> items;
    double zoom = 1;
    double panX = 0;
    double panY = 0;
    QList<BrowserTab> tabs;
    qint64 activeTabIndex = 0;
    double defaultLineWidth = 9;
    double defaultFontSize = 60;
    TextStyle defaultNoteStyle = TextStyle::critical;
    std::optional<QString> lastActiveTabRaw;

    // The state of a new, untitled document: no items and one new tab at the given address.
    static CanvasState makeNew(const QString& newTabURL);

    // The factory viewport presets, made once per process run with fresh ids.
    static const QList<ViewportPreset>& defaultPresets();

    bool operator==(const CanvasState&) const = default;
};

// The item with that id, or null.
const CanvasItem* findItem(const CanvasState& state, const QUuid& id);
CanvasItem* findItem(CanvasState& state, const QUuid& id);

} // namespace pintora
