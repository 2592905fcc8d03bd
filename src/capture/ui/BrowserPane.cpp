#include "capture/ui/BrowserPane.h"

#include "capture/AddressText.h"
#include "capture/BrowserTabEdits.h"
#include "capture/BrowsingHistoryStore.h"
#include "capture/ui/BrowserController.h"
#include "capture/ui/HistoryMenu.h"
#include "capture/ui/LiveMenuButton.h"
#include "capture/ui/OtherBrowserMenus.h"
#include "capture/ui/TabStrip.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Symbols.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace pintora {

namespace {
constexpr int emptySymbolSide = 40;

QToolButton* navigationButton(const char* symbol, const QString& tip) {
    auto* button = new QToolButton;
    button->setIcon(symbolIcon(QLatin1String(symbol)));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

BrowserPane::BrowserPane(PintoraDocument& document, BrowserController& controller,
                         BrowsingHistoryStore& history, UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), document_(document), controller_(controller), history_(history),
      defaults_(defaults), strip_(new TabStrip),
      back_(navigationButton("chevron.left", tr("Back"))),
      forward_(navigationButton("chevron.right", tr("Forward"))),
      reload_(navigationButton("arrow.clockwise", tr("Reload"))), address_(new QLineEdit),
      historyButton_(makeHistoryMenuButton([this](const QString& url) { importURL(url); })),
      pages_(new QStackedWidget), empty_(new QWidget) {
    address_->setPlaceholderText(tr("Search or enter URL"));
    address_->setAccessibleName(tr("Address"));
    address_->setClearButtonEnabled(true);
    for (QToolButton* clear : address_->findChildren<QToolButton*>())
        clear->setAccessibleName(tr("Clear address"));
    auto* addressRow = new QHBoxLayout;
    addressRow->setContentsMargins(8, 8, 8, 8);
    addressRow->setSpacing(6);
    addressRow->addWidget(back_);
    addressRow->addWidget(forward_);
    addressRow->addWidget(reload_);
    addressRow->addWidget(address_, 1);
    addressRow->addWidget(historyButton_);
    addressRow->addWidget(makeImportURLButton([this](const QString& url) { importURL(url); }));
    addressRow->addWidget(makeBrowserWindowButton());

    auto* globe = new QLabel;
    globe->setPixmap(symbolIcon(QStringLiteral("globe")).pixmap(emptySymbolSide, emptySymbolSide));
    globe->setAlignment(Qt::AlignCenter);
    auto* headline = new QLabel(tr("No Tabs Open"));
    QFont font = headline->font();
    font.setBold(true);
    headline->setFont(font);
    headline->setAlignment(Qt::AlignCenter);
    auto* newTabButton = new QPushButton(tr("New Tab"));
    newTabButton->setObjectName(QStringLiteral("emptyNewTab"));
    auto* emptyLayout = new QVBoxLayout(empty_);
    emptyLayout->setSpacing(12);
    emptyLayout->addStretch();
    emptyLayout->addWidget(globe);
    emptyLayout->addWidget(headline);
    emptyLayout->addWidget(newTabButton, 0, Qt::AlignHCenter);
    emptyLayout->addStretch();
    empty_->setAutoFillBackground(true);
    pages_->addWidget(empty_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip_);
    layout->addLayout(addressRow);
    layout->addWidget(divider());
    layout->addWidget(pages_, 1);

    connect(back_, &QToolButton::clicked, this, [this] {
        if (QWebEngineView* view = controller_.activeWebView()) view->back();
    });
    connect(forward_, &QToolButton::clicked, this, [this] {
        if (QWebEngineView* view = controller_.activeWebView()) view->forward();
    });
    connect(reload_, &QToolButton::clicked, this, [this] {
        if (QWebEngineView* view = controller_.activeWebView()) view->reload();
    });
    connect(address_, &QLineEdit::returnPressed, this, &BrowserPane::submit);
    connect(strip_, &TabStrip::newTabRequested, this, &BrowserPane::newTab);
    connect(newTabButton, &QPushButton::clicked, this, &BrowserPane::newTab);
    connect(strip_, &TabStrip::selectRequested, this,
            [this](qint64 index) { selectTab(document_, index); });
    connect(strip_, &TabStrip::closeRequested, this, [this](qint64 index) {
        if (index < 0 || index >= document_.state().tabs.size()) return;
        controller_.discardTab(document_.state().tabs[index].id);
        closeTab(document_, undoStack(), index);
    });
    // Both the "+" button and the empty state's button answer Ctrl+T while the tab shows.
    auto* newTabKey = new QShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_T), this);
    connect(newTabKey, &QShortcut::activated, this, &BrowserPane::newTab);
    // As in every browser: Ctrl+L, Alt+D and F6 go to the address, ready to be typed over.
    for (const QKeySequence& key :
         {QKeySequence(Qt::ControlModifier | Qt::Key_L), QKeySequence(Qt::AltModifier | Qt::Key_D),
          QKeySequence(Qt::Key_F6)}) {
        auto* toAddress = new QShortcut(key, this);
        connect(toAddress, &QShortcut::activated, this, [this] {
            address_->setFocus(Qt::ShortcutFocusReason);
            address_->selectAll();
        });
    }
    connect(&document_, &PintoraDocument::stateChanged, this, &BrowserPane::sync);

    wireController();
    sync();
}

QUndoStack* BrowserPane::undoStack() const {
    return document_.undoStack();
}

void BrowserPane::wireController() {
    controller_.onTitleChange = [this](const QUuid& id, const QString& title) {
        const QList<BrowserTab>& tabs = document_.state().tabs;
        const auto it = std::find_if(tabs.begin(), tabs.end(),
                                     [&id](const BrowserTab& tab) { return tab.id == id; });
        if (it == tabs.end() || it->title == title) return;
        const QString url = it->url;
        setTabTitle(document_, id, title);
        history_.updateTitle(url, title);
    };
    controller_.onURLChange = [this](const QUuid& id, const QString& url, bool first) {
        const QList<BrowserTab>& tabs = document_.state().tabs;
        const auto it = std::find_if(tabs.begin(), tabs.end(),
                                     [&id](const BrowserTab& tab) { return tab.id == id; });
        QString title;
        if (it != tabs.end()) {
            title = it->title;
            const bool active = it - tabs.begin() == activeTabIndex(document_);
            if (setTabURL(document_, id, url) && active) address_->setText(addressForDisplay(url));
        }
        // The first address of each view is the page it was opened with, not a visit.
        if (!first) history_.record(url, title);
    };
}

void BrowserPane::sync() {
    const CanvasState& state = document_.state();
    strip_->setTabs(state.tabs, state.activeTabIndex);
    showActivePage();
}

void BrowserPane::showActivePage() {
    const qint64 index = activeTabIndex(document_);
    const QUuid id = index < 0 ? QUuid() : document_.state().tabs[index].id;
    if (id == shownTab_ && (index >= 0 || pages_->currentWidget() == empty_)) return;
    shownTab_ = id;
    if (index < 0) {
        pages_->setCurrentWidget(empty_);
        controller_.setActiveWebView(nullptr);
        address_->clear();
        return;
    }
    const BrowserTab tab = document_.state().tabs[index];
    QWebEngineView* view = controller_.webView(tab);
    if (pages_->indexOf(view) < 0) pages_->addWidget(view);
    pages_->setCurrentWidget(view);
    controller_.setActiveWebView(view);
    address_->setText(addressForDisplay(tab.url));
}

void BrowserPane::newTab() {
    addTab(document_, undoStack(), defaults_.defaultURL(), actionName::newTab);
}

void BrowserPane::importURL(const QString& text) {
    const qint64 index = activeTabIndex(document_);
    if (index < 0) {
        addTab(document_, undoStack(), text, actionName::importURL);
        return;
    }
    const BrowserTab tab = document_.state().tabs[index];
    setTabURL(document_, tab.id, text);
    BrowserController::load(text, controller_.webView(tab));
    address_->setText(addressForDisplay(text));
}

void BrowserPane::submit() {
    const qint64 index = activeTabIndex(document_);
    if (index < 0) return;
    const BrowserTab tab = document_.state().tabs[index];
    const QString text = address_->text();
    BrowserController::load(text, controller_.webView(tab));
    // What is kept is the address loaded, in the form it is kept everywhere.
    const auto url = urlForAddressText(text);
    setTabURL(document_, tab.id, url ? storedAddress(*url) : text);
}

} // namespace pintora
