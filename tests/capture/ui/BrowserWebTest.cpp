// The capture tab with real web views: the tabs following their pages,
// the capture-all road to the canvas, and a hidden host that never shows.
#include "capture/AppPresetsStore.h"
#include "capture/BrowsingHistoryStore.h"
#include "capture/ui/BrowserController.h"
#include "capture/ui/BrowserPage.h"
#include "capture/ui/BrowserPane.h"
#include "capture/ui/CapturePresetsSidebar.h"
#include "capture/ui/TabStrip.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "platform/ui/SystemClipboard.h"
#include "support/TestWebServer.h"
#include "window/ui/ContentView.h"
#include "window/ui/NoticeBar.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace pintora;
using pintora::test::TestWebServer;

namespace {
constexpr int webWaitMs = 60000;

QByteArray titled(const char* title) {
    return QByteArray("<!doctype html><title>") + title + "</title><body>" + title + "</body>";
}

} // namespace

TEST(BrowserWebTest, ABrowserLoadThatNeverEndsIsStoppedAfterItsTimeOut) {
    TestWebServer server;
    server.route("/never", {.hang = true});
    BrowserController browser;
    browser.setLoadTimeoutMs(1000);
    QWebEngineView* view = browser.webView(BrowserTab::withURL(server.url("/never").toString()));
    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    ASSERT_TRUE(finished.wait(webWaitMs));
    EXPECT_FALSE(finished[0][0].toBool());
}

TEST(BrowserWebTest, APageDialogHoldsOnlyItsWindowAndThePageCanBeStoppedFromShowingMore) {
    TestWebServer server;
    server.page("/alerts", "<!doctype html><title>asking</title><script>"
                           "for (let i = 0; i < 40; i++) alert('Again ' + i);"
                           "document.title = confirm('Done?') ? 'yes' : 'no';</script>");
    BrowserController browser;
    QWidget own, other;
    auto* ownButton = new QPushButton(QStringLiteral("Own"), &own);
    auto* otherButton = new QPushButton(QStringLiteral("Other"), &other);
    const BrowserTab tab = BrowserTab::withURL(server.url("/alerts").toString());
    QWebEngineView* view = browser.webView(tab);
    view->setParent(&own);
    view->setGeometry(0, 40, 400, 300);
    own.resize(400, 340);
    own.show();
    other.move(500, 0);
    other.show();
    auto* page = qobject_cast<BrowserPage*>(view->page());
    ASSERT_TRUE(page);
    QSignalSpy loads(page, &QWebEnginePage::loadFinished);
    QSignalSpy ownClicks(ownButton, &QPushButton::clicked),
        otherClicks(otherButton, &QPushButton::clicked);
    // The engine waits on each dialog within the event loop: they are answered from a timer.
    QStringList asked;
    int offers = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QDialog* dialog = page->openDialog();
        if (!dialog || !dialog->isVisible()) return;
        if (asked.isEmpty()) {
            EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
            EXPECT_EQ(dialog->parentWidget(), &own);
            QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {},
                              otherButton->geometry().center());
            QTest::mouseClick(own.windowHandle(), Qt::LeftButton, {},
                              ownButton->geometry().center());
        }
        asked << dialog->findChild<QLabel*>()->text();
        if (auto* stop = dialog->findChild<QCheckBox*>()) {
            ++offers;
            if (asked.size() == 3) stop->setChecked(true);
        }
        dialog->accept();
    });
    answer.start(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->title() == "no"; }, webWaitMs))
        << asked.join(", ").toStdString();
    EXPECT_EQ(otherClicks.count(), 1) << "another window took no input while a dialog was open";
    EXPECT_EQ(ownClicks.count(), 0) << "the dialog did not hold its own window";
    EXPECT_EQ(asked, (QStringList{"Again 0", "Again 1", "Again 2"}));
    EXPECT_EQ(offers, 1) << "the third dialog offers to stop them; the page then shows none, "
                            "and its confirm reads as cancelled";

    // A tab closed while its page asks goes without waiting for the answer.
    answer.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loads.count() > 0; }, webWaitMs));
    const QPointer<BrowserPage> asking = page;
    bool closed = false;
    QTimer close;
    QObject::connect(&close, &QTimer::timeout, [&] {
        if (closed || !asking || !asking->openDialog()) return;
        closed = true;
        browser.discardTab(tab.id);
    });
    close.start(20);
    view->reload();
    EXPECT_TRUE(QTest::qWaitFor([&] { return asking.isNull(); }, webWaitMs));
    EXPECT_TRUE(closed);
}

class CaptureTabWebTest : public ::testing::Test {
protected:
    CaptureTabWebTest() {
        server.page("/one", titled("Page One"));
        server.page("/two", titled("Page Two"));
        server.page("/tall", TestWebServer::tallPage(3000));
        defaults.setHasSeenIntro(true);
    }
    ~CaptureTabWebTest() override { delete view; }

    ContentView* open(const QString& url) {
        document.setState(CanvasState::makeNew(url));
        view = new ContentView(&document, defaults, clipboard);
        view->resize(1000, 700);
        view->show();
        view->appear();
        return view;
    }

    TestWebServer server;
    UserDefaults& defaults = UserDefaults::standard();
    SystemClipboard clipboard;
    PintoraDocument document{QString()};
    ContentView* view = nullptr;
};

TEST_F(CaptureTabWebTest, TabsFollowTheirPagesAndLaterVisitsGoToHistory) {
    BrowsingHistoryStore::shared().clear();
    open(server.url("/one").toString());
    const auto tab = [&] { return document.state().tabs.value(0); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab().title == "Page One"; }, webWaitMs));
    EXPECT_EQ(document.undoStack()->count(), 0); // page reports are no edits
    // The page the tab was opened with is no visit; the next one is, with its title.
    EXPECT_TRUE(BrowsingHistoryStore::shared().entries().isEmpty());

    BrowserPane* pane = view->browserPane();
    pane->addressField()->setText(server.url("/two").toString());
    QTest::keyClick(pane->addressField(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab().title == "Page Two"; }, webWaitMs));
    ASSERT_EQ(BrowsingHistoryStore::shared().entries().size(), 1);
    EXPECT_EQ(BrowsingHistoryStore::shared().entries()[0].url, server.url("/two").toString());
    EXPECT_EQ(BrowsingHistoryStore::shared().entries()[0].title, QStringLiteral("Page Two"));
    EXPECT_EQ(pane->addressField()->text(), server.url("/two").toString());

    // A new tab shows the page it opens; going back to the first shows the first's address.
    pane->newTab();
    pane->importURL(server.url("/one").toString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.state().tabs.value(1).title == "Page One"; },
                                webWaitMs));
    emit pane->tabStrip()->selectRequested(0);
    EXPECT_EQ(document.state().activeTabIndex, 0);
    EXPECT_EQ(pane->addressField()->text(), server.url("/two").toString());
    emit pane->tabStrip()->closeRequested(1);

    // Closing the only tab shows the empty state; undo brings the tab back.
    emit pane->tabStrip()->closeRequested(0);
    EXPECT_TRUE(document.state().tabs.isEmpty());
    EXPECT_TRUE(pane->emptyState()->isVisible());
    document.undoStack()->undo();
    EXPECT_EQ(document.state().tabs.size(), 1);
    EXPECT_FALSE(pane->emptyState()->isVisible());
    pane->importURL(server.url("/one").toString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab().title == "Page One"; }, webWaitMs));
}

TEST_F(CaptureTabWebTest, CaptureAllPlacesOnePicturePerEnabledPresetAsOneStep) {
    AppPresetsStore& presets = AppPresetsStore::shared();
    presets.setPresets({{QUuid::createUuid(), "A", 640, 480, true},
                        {QUuid::createUuid(), "Off", 800, 600, false},
                        {QUuid::createUuid(), "B", 320, 480, true}});
    defaults.setCaptureFullPage(false);
    open(server.url("/tall").toString());
    view->presetsSidebar()->captureButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.state().items.size() == 2; }, webWaitMs));
    EXPECT_EQ(document.state().items[0].frame().size(), QSizeF(640, 480));
    EXPECT_EQ(document.state().items[1].frame().size(), QSizeF(320, 480));
    EXPECT_EQ(document.undoStack()->undoText(), QStringLiteral("Capture"));
    document.undoStack()->undo();
    EXPECT_TRUE(document.state().items.isEmpty());
}

TEST_F(CaptureTabWebTest, FailedLoadsAreToldAndEscapeCancelsARun) {
    AppPresetsStore::shared().setPresets({{QUuid::createUuid(), "A", 400, 300, true},
                                          {QUuid::createUuid(), "B", 500, 300, true}});
    defaults.setCaptureFullPage(false);
    QTcpServer closed; // a port nobody listens on
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    open(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    CapturePresetsSidebar* sidebar = view->presetsSidebar();
    sidebar->captureButton()->click();
    // The engine's error pages are taken, as the view shows them, and the user told why.
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.state().items.size() == 2; }, webWaitMs));
    EXPECT_EQ(view->noticeBar()->text().count("the page did not load (net::ERR_CONNECTION_REFUSED)"),
              2)
        << view->noticeBar()->text().toStdString();

    server.route("/never", {.hang = true});
    view->setActiveTab(AppTab::capture);
    view->browserPane()->importURL(server.url("/never").toString());
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view));
    sidebar->captureButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sidebar->cancelButton()->isVisible(); }, webWaitMs));
    QTest::qWait(300);
    QTest::keyClick(view, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sidebar->cancelButton()->isVisible(); }, 5000))
        << "Escape ended the run at once";
    EXPECT_TRUE(sidebar->captureButton()->isEnabled());
    EXPECT_EQ(document.state().items.size(), 2) << "nothing new";
    EXPECT_TRUE(view->noticeBar()->text().contains("Capture cancelled: 0 sizes taken."));
}
