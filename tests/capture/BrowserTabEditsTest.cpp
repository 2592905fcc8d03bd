#include "capture/BrowserTabEdits.h"

#include "model/PintoraDocument.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
CanvasState threeTabs(qint64 active) {
    CanvasState state = CanvasState::makeNew(QStringLiteral("https://a.example/"));
    state.tabs.append(BrowserTab::withURL(QStringLiteral("https://b.example/")));
    state.tabs.append(BrowserTab::withURL(QStringLiteral("https://c.example/")));
    state.activeTabIndex = active;
    return state;
}
} // namespace

TEST(BrowserTabEditsTest, ClosingATabPicksItsLeftNeighbourAndUndoesInOneStep) {
    const struct {
        qint64 active, close;
        QStringList remaining;
        qint64 newActive;
    } cases[] = {
        {2, 0, {"https://b.example/", "https://c.example/"}, 0},
        {0, 2, {"https://a.example/", "https://b.example/"}, 1},
        {1, 1, {"https://a.example/", "https://c.example/"}, 0},
    };
    for (const auto& c : cases) {
        PintoraDocument document{QString()};
        document.setState(threeTabs(c.active));
        const CanvasState before = document.state();
        ASSERT_TRUE(closeTab(document, document.undoStack(), c.close));
        QStringList urls;
        for (const BrowserTab& tab : document.state().tabs)
            urls << tab.url;
        EXPECT_EQ(urls, c.remaining);
        EXPECT_EQ(document.state().activeTabIndex, c.newActive);
        EXPECT_EQ(document.undoStack()->undoText(), QStringLiteral("Close Tab"));
        document.undoStack()->undo();
        EXPECT_EQ(document.state(), before);
    }
}

// Closing the only tab is in BrowserWebTest, with its empty state.
TEST(BrowserTabEditsTest, NewTabsAreAppendedActiveAndOutOfRangeIndexesChangeNothing) {
    PintoraDocument document{QStringLiteral("https://a.example/")};
    EXPECT_FALSE(closeTab(document, document.undoStack(), 1));
    EXPECT_FALSE(closeTab(document, document.undoStack(), -1));
    addTab(document, document.undoStack(), QStringLiteral("https://n.example/"),
           actionName::importURL);
    ASSERT_EQ(document.state().tabs.size(), 2);
    EXPECT_EQ(document.state().activeTabIndex, 1);
    EXPECT_EQ(document.undoStack()->undoText(), QStringLiteral("Import URL"));
    // Page reports write without undo steps, and only when something changed.
    const QUuid id = document.state().tabs[1].id;
    EXPECT_TRUE(setTabTitle(document, id, QStringLiteral("Title")));
    EXPECT_FALSE(setTabTitle(document, id, QStringLiteral("Title")));
    EXPECT_FALSE(setTabURL(document, QUuid::createUuid(), QStringLiteral("x")));
    selectTab(document, 0);
    EXPECT_EQ(document.state().activeTabIndex, 0);
    EXPECT_EQ(document.undoStack()->count(), 1);
}
