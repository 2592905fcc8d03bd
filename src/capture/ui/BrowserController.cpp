#include "capture/ui/BrowserController.h"

#include "capture/AddressText.h"
#include "capture/ui/BrowserPage.h"
#include "platform/ui/WebProfile.h"

#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace pintora {

namespace {
QString trimSpacesAndTabs(QString text) {
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove(0, 1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    return text;
}
} // namespace

BrowserController::BrowserController(QObject* parent) : QObject(parent) {}

BrowserController::~BrowserController() {
    // Views and pages go before the application object. A page is no view's child, so that
    // it outlives a view that goes while one of its dialogs is asked.
    for (const QPointer<BrowserPage>& page : std::as_const(pages_))
        discardBrowserPage(page);
    for (const QPointer<QWebEngineView>& view : std::as_const(webViews_))
        delete view.data();
}

QWebEngineView* BrowserController::webView(const BrowserTab& tab) {
    if (QWebEngineView* view = webViews_.value(tab.id)) return view;
    auto* view = new QWebEngineView;
    auto* page = new BrowserPage(webProfile(), nullptr);
    view->setPage(page);
    pages_.insert(tab.id, page);
    webViews_.insert(tab.id, view);
    const QUuid id = tab.id;
    connect(view, &QWebEngineView::titleChanged, this, [this, id](const QString& title) {
        const QString trimmed = trimSpacesAndTabs(title);
        if (!trimmed.isEmpty() && onTitleChange) onTitleChange(id, trimmed);
    });
    connect(view, &QWebEngineView::urlChanged, this, [this, id](const QUrl& url) {
        const QString address = storedAddress(url);
        if (address.isEmpty()) return;
        const bool first = !seenInitialLoad_.contains(id);
        seenInitialLoad_.insert(id);
        if (onURLChange) onURLChange(id, address, first);
    });
    auto* timeout = new QTimer(view);
    timeout->setSingleShot(true);
    connect(view, &QWebEngineView::loadStarted, timeout,
            [this, timeout] { timeout->start(loadTimeoutMs_); });
    connect(view, &QWebEngineView::loadFinished, timeout, &QTimer::stop);
    connect(timeout, &QTimer::timeout, view, &QWebEngineView::stop);
    if (const auto url = urlForStoredAddress(tab.url)) view->load(*url);
    return view;
}

void BrowserController::discardTab(const QUuid& id) {
    QPointer<QWebEngineView> view = webViews_.take(id);
    seenInitialLoad_.remove(id);
    if (!view) {
        discardBrowserPage(pages_.take(id));
        return;
    }
    if (activeWebView_ == view) setActiveWebView(nullptr);
    discardBrowserPage(pages_.take(id));
    view->deleteLater();
}

bool BrowserController::load(const QString& text, QWebEngineView* view) {
    const auto url = urlForAddressText(text);
    if (!url || !view) return false;
    view->load(*url);
    return true;
}

void BrowserController::setActiveWebView(QWebEngineView* view) {
    if (activeWebView_ == view) return;
    activeWebView_ = view;
    emit activeWebViewChanged();
}

void BrowserController::captureSnapshot(std::function<void(const QImage&)> completion) {
    QPointer<QWebEngineView> view = activeWebView_;
    QTimer::singleShot(0, this, [view, completion] {
        completion(view && view->isVisible() ? view->grab().toImage() : QImage());
    });
}

} // namespace pintora
