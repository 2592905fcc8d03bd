#include "capture/ui/CapturePresetsSidebar.h"

#include "capture/AppPresetsStore.h"
#include "capture/BrowsingHistoryStore.h"
#include "capture/ui/HistoryMenu.h"
#include "capture/ui/PresetList.h"
#include "capture/ui/PresetRow.h"
#include "capture/ui/SizePickerPopover.h"
#include "capture/ui/TabChip.h"
#include "capture/ui/TabStrip.h"
#include "platform/UserDefaults.h"
#include "support/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
class CapturePresetsSidebarTest : public ::testing::Test, public test::Preferences {
protected:
    CapturePresetsSidebarTest() {
        store.setPresets({{QUuid::createUuid(), "Widescreen", 1920, 1080, true},
                          {QUuid::createUuid(), "Laptop", 1280, 800, true},
                          {QUuid::createUuid(), "Tablet", 834, 1194, false},
                          {QUuid::createUuid(), "Mobile", 390, 844, false}});
        sidebar.show();
    }
    // The size popover of row `index`, shown and focused.
    SizePickerPopover* popover(int index) {
        SizePickerPopover* open = sidebar.row(index)->openPopover();
        QApplication::setActiveWindow(open);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(open));
        return open;
    }

    AppPresetsStore store{defaults};
    CapturePresetsSidebar sidebar{store, defaults};
};
} // namespace

TEST_F(CapturePresetsSidebarTest, TheCountAndTheButtonFollowThePresetsAndTheProgress) {
    QPushButton* button = sidebar.captureButton();
    EXPECT_EQ(sidebar.countLabel()->text(), QStringLiteral("2/4 on"));
    sidebar.setCaptureProgress(CaptureProgress{2, 4});
    EXPECT_EQ(button->text(), QStringLiteral("Capturing 2/4…"));
    EXPECT_FALSE(button->isEnabled());
    sidebar.setCaptureProgress(std::nullopt);
    EXPECT_EQ(button->text(), QStringLiteral("Capture"));
    EXPECT_TRUE(button->isEnabled());

    sidebar.row(0)->enabledBox()->click();
    sidebar.row(1)->enabledBox()->click();
    EXPECT_EQ(sidebar.countLabel()->text(), QStringLiteral("0/4 on"));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(store.presets()[1].enabled);
}

TEST_F(CapturePresetsSidebarTest, DeletingEveryPresetIsStoredAsAnEmptyListAndAddingStartsAnew) {
    // An empty list is kept as such, not read back as the defaults.
    for (int i = 0; i < 4; ++i) {
        sidebar.row(0)->deleteButton()->click();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(sidebar.list()->count(), 0);
    EXPECT_EQ(defaults.viewportPresetsData(), QByteArray("[]"));
    sidebar.addButton()->click();
    EXPECT_EQ(store.presets().size(), 1);
    EXPECT_EQ(sidebar.list()->count(), 1);
    EXPECT_TRUE(sidebar.captureButton()->isEnabled());
}

TEST_F(CapturePresetsSidebarTest, ArrowKeysStepTheFocusedFieldAndOnlyReturnCommits) {
    SizePickerPopover* open = popover(3);
    QLineEdit* width = open->widthField();
    QLineEdit* height = open->heightField();
    EXPECT_TRUE(width->hasFocus());
    QTest::keyClick(width, Qt::Key_Right);
    EXPECT_TRUE(height->hasFocus());
    QTest::keyClick(height, Qt::Key_Up);
    EXPECT_EQ(height->text(), QStringLiteral("854"));
    QTest::keyClick(height, Qt::Key_Tab);
    EXPECT_TRUE(width->hasFocus());
    QTest::keyClick(width, Qt::Key_Down);
    EXPECT_EQ(width->text(), QStringLiteral("380"));
    QTest::keyClick(height, Qt::Key_Escape);
    EXPECT_EQ(store.presets()[3].height, 844) << "nothing changes before Return";

    // Each field on its own: a width of 0 is ignored, the height still taken.
    open = popover(3);
    open->widthField()->setText(QStringLiteral("0"));
    open->heightField()->setText(QStringLiteral("700"));
    QTest::keyClick(open->widthField(), Qt::Key_Return);
    EXPECT_EQ(store.presets()[3].width, 390);
    EXPECT_EQ(store.presets()[3].height, 700);
    EXPECT_EQ(sidebar.row(3)->sizeButton()->text(), QStringLiteral("390×700"));
}

TEST_F(CapturePresetsSidebarTest, TheHistoryMenuListsVisitsThenClearsThem) {
    BrowsingHistoryStore history(defaults);
    QObject owner;
    QStringList picked;
    const auto pick = [&](const QString& url) { picked << url; };
    QList<QAction*> items = historyMenuItems(history, pick, &owner);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), QStringLiteral("No history yet"));
    EXPECT_FALSE(items[0]->isEnabled());

    history.record(QStringLiteral("https://a.example/"), QString());
    history.record(QStringLiteral("https://q.example/"), QStringLiteral("Q&A"));
    history.record(QStringLiteral("https://b.example/"), QString(70, u'x'));
    items = historyMenuItems(history, pick, &owner);
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), QString(29, u'x') + QStringLiteral("…") + QString(30, u'x'));
    EXPECT_EQ(items[0]->toolTip(), QStringLiteral("https://b.example/"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Q&&A")); // shows "Q&A", no shortcut
    EXPECT_EQ(items[2]->text(), QStringLiteral("https://a.example/"));
    EXPECT_TRUE(items[3]->isSeparator());
    items[2]->trigger();
    EXPECT_EQ(picked, QStringList{"https://a.example/"});
    items[4]->trigger();
    EXPECT_TRUE(history.entries().isEmpty());
}

TEST_F(CapturePresetsSidebarTest, EverySidebarFollowsTheVisibleOrFullPageChoiceAtOnce) {
    CapturePresetsSidebar other{store, defaults};
    defaults.setCaptureFullPage(false);
    sidebar.fullPageButton()->click();
    EXPECT_TRUE(defaults.captureFullPage());
    EXPECT_TRUE(other.fullPageButton()->isChecked());
    EXPECT_FALSE(other.visibleButton()->isChecked());
}

TEST(TabStripTest, AnOverflowingStripScrollsWithAnOrdinaryWheelAndShowsTheActiveTab) {
    TabStrip strip;
    strip.resize(400, 28);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    QList<BrowserTab> tabs;
    for (int i = 0; i < 12; ++i)
        tabs.append({QUuid::createUuid(), QStringLiteral("https://example.org/%1").arg(i),
                     QStringLiteral("A page with a long title %1").arg(i)});
    QWidget* viewport = strip.scrollArea()->viewport();
    const auto inView = [&](int index) {
        const QRect chip(strip.chips()[index]->mapTo(viewport, QPoint()),
                         strip.chips()[index]->size());
        return viewport->rect().contains(chip);
    };
    strip.setTabs(tabs, 11); // a tab just added at the end
    QTRY_VERIFY(inView(11) && !inView(0));

    QScrollBar* bar = strip.scrollArea()->horizontalScrollBar();
    const int before = bar->value();
    QWheelEvent up(QPointF(50, 10), viewport->mapToGlobal(QPointF(50, 10)), QPoint(),
                   QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &up);
    EXPECT_LT(bar->value(), before) << "a wheel turned up scrolls towards the first tab";
}
