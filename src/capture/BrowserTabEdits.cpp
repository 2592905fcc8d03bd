#include "capture/BrowserTabEdits.h"

#include "model/PintoraDocument.h"

#include <algorithm>

namespace pintora {

void addTab(PintoraDocument& document, QUndoStack* stack, const QString& url,
            const QString& actionName) {
    document.apply(stack, actionName, [&url](CanvasState& state) {
        state.tabs.append(BrowserTab::withURL(url));
        state.activeTabIndex = state.tabs.size() - 1;
    });
}

bool closeTab(PintoraDocument& document, QUndoStack* stack, qint64 index) {
    if (index < 0 || index >= document.state().tabs.size()) return false;
    document.apply(stack, actionName::closeTab, [index](CanvasState& state) {
        state.tabs.removeAt(index);
        state.activeTabIndex =
            state.tabs.isEmpty()
                ? 0
                : std::min<qint64>(state.tabs.size() - 1, std::max<qint64>(index - 1, 0));
    });
    return true;
}

void selectTab(PintoraDocument& document, qint64 index) {
    if (document.state().activeTabIndex == index) return;
    CanvasState state = document.state();
    state.activeTabIndex = index;
    document.setState(std::move(state));
}

namespace {
template <typename Field>
bool setTabField(PintoraDocument& document, const QUuid& id, const QString& value, Field field) {
    const QList<BrowserTab>& tabs = document.state().tabs;
    const auto it = std::find_if(tabs.begin(), tabs.end(),
                                 [&id](const BrowserTab& tab) { return tab.id == id; });
    if (it == tabs.end() || (*it).*field == value) return false;
    CanvasState state = document.state();
    state.tabs[it - tabs.begin()].*field = value;
    document.setState(std::move(state));
    return true;
}
} // namespace

bool setTabTitle(PintoraDocument& document, const QUuid& id, const QString& title) {
    return setTabField(document, id, title, &BrowserTab::title);
}

bool setTabURL(PintoraDocument& document, const QUuid& id, const QString& url) {
    return setTabField(document, id, url, &BrowserTab::url);
}

qint64 activeTabIndex(const PintoraDocument& document) {
    const CanvasState& state = document.state();
    return state.activeTabIndex >= 0 && state.activeTabIndex < state.tabs.size()
               ? state.activeTabIndex
               : -1;
}

} // namespace pintora
