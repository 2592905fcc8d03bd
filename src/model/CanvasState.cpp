#include "model/CanvasState.h"

namespace pintora {

CanvasState CanvasState::makeNew(const QString& newTabURL) {
    CanvasState state;
    state.tabs.append(BrowserTab::withURL(newTabURL));
    return state;
}

const QList<ViewportPreset>& CanvasState::defaultPresets() {
    // A function-local static is initialised once, even on a first use from two threads.
    static const QList<ViewportPreset> presets{
        {QUuid::createUuid(), QStringLiteral("Widescreen"), 1920, 1080, true},
        {QUuid::createUuid(), QStringLiteral("Laptop"), 1280, 800, true},
        {QUuid::createUuid(), QStringLiteral("Tablet"), 834, 1194, false},
        {QUuid::createUuid(), QStringLiteral("Mobile"), 390, 844, false},
    };
    return presets;
}

const CanvasItem* findItem(const CanvasState& state, const QUuid& id) {
    for (const CanvasItem& item : state.items) {
        if (item.id() == id) return &item;
    }
    return nullptr;
}

CanvasItem* findItem(CanvasState& state, const QUuid& id) {
    for (CanvasItem& item : state.items) {
        if (item.id() == id) return &item;
    }
    return nullptr;
}

} // namespace pintora
