#pragma once

#include "model/CanvasState.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUuid>
#include <QWebEngineView>
#include <functional>

namespace pintora {

class BrowserPage;

// The live web views of one window's browser tabs, made on demand and keyed by tab id; it
// reports each view's title and address so the document's tabs follow what the user browses.
class BrowserController : public QObject {
    Q_OBJECT
public:
    explicit BrowserController(QObject* parent = nullptr);
    ~BrowserController() override;

    // The tab's view; made, wired and started at the tab's address on first use.
    QWebEngineView* webView(const BrowserTab& tab);
    QWebEngineView* existingWebView(const QUuid& id) const { return webViews_.value(id); }
    void discardTab(const QUuid& id);

    // Loads address-field text into a view; false when the text stands for no address.
    static bool load(const QString& text, QWebEngineView* view);

    QWebEngineView* activeWebView() const { return activeWebView_; }
    void setActiveWebView(QWebEngineView* view);

    // The visible part of the active page, or a null image without one.
    void captureSnapshot(std::function<void(const QImage&)> completion);

    // The engine has no request time-out of its own: a page load is stopped after this long.
    void setLoadTimeoutMs(int ms) { loadTimeoutMs_ = ms; }

    std::function<void(const QUuid& id, const QString& title)> onTitleChange;
    std::function<void(const QUuid& id, const QString& url, bool first)> onURLChange;

signals:
    void activeWebViewChanged();

private:
    QHash<QUuid, QPointer<QWebEngineView>> webViews_;
    QHash<QUuid, QPointer<BrowserPage>> pages_;
    QSet<QUuid> seenInitialLoad_;
    QPointer<QWebEngineView> activeWebView_;
    int loadTimeoutMs_ = 60000;
};

} // namespace pintora
