#include "app/ui/SettingsView.h"

#include "app/ui/PresetListEditor.h"
#include "capture/AppPresetsStore.h"
#include "capture/ui/PresetList.h"
#include "capture/ui/PresetRow.h"
#include "capture/ui/SizePickerPopover.h"
#include "platform/UserDefaults.h"
#include "support/Preferences.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
class SettingsViewTest : public ::testing::Test, public test::Preferences {
protected:
    SettingsViewTest() {
        view.show();
        QApplication::setActiveWindow(&view);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }
    PresetListEditor* editor() const { return view.presetEditor(); }

    AppPresetsStore store{defaults};
    SettingsView view{defaults, store};
};
} // namespace

TEST_F(SettingsViewTest, GeneralSettingsAreStoredAsTyped) {
    QLineEdit* url = view.defaultURLField();
    url->selectAll();
    QTest::keyClick(url, Qt::Key_Backspace);
    EXPECT_EQ(defaults.defaultURL(), QString()); // stored empty, not fallen back
    QTest::keyClicks(url, QStringLiteral("example.org/start"));
    EXPECT_EQ(defaults.defaultURL(), "example.org/start");

    QTest::mouseClick(view.defaultTabPicker()->button(1), Qt::LeftButton);
    EXPECT_EQ(defaults.defaultTab(), "annotate");
}

TEST_F(SettingsViewTest, RowsEditThePresetsAndRestoreDefaultsIsOnlyOfferedAfterAChange) {
    EXPECT_FALSE(editor()->restoreButton()->isEnabled());

    view.findChild<QTabWidget*>()->setCurrentWidget(editor());
    QLineEdit* name = editor()->row(1)->nameField();
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Notebook"));
    EXPECT_EQ(QApplication::focusWidget(), name); // the row survives its own edit
    // The sidebar's size editor, with sizes beyond any spin box's range.
    SizePickerPopover* sizes = editor()->row(1)->openPopover();
    sizes->widthField()->setText(QStringLiteral("40000"));
    sizes->heightField()->setText(QStringLiteral("3000000000"));
    QTest::keyClick(sizes->heightField(), Qt::Key_Return);
    EXPECT_EQ(store.presets()[1].name, "Notebook");
    EXPECT_EQ(store.presets()[1].width, 40000);
    EXPECT_EQ(store.presets()[1].height, 3000000000.0);
    EXPECT_EQ(editor()->row(1)->sizeButton()->text(), QStringLiteral("40000×3000000000"));
    EXPECT_TRUE(editor()->restoreButton()->isEnabled());

    QTest::mouseClick(editor()->restoreButton(), Qt::LeftButton);
    EXPECT_FALSE(editor()->restoreButton()->isEnabled());
    EXPECT_EQ(editor()->row(1)->nameField()->text(), "Laptop");
}

TEST_F(SettingsViewTest, MovingARowReordersTheStoreAndTheRows) {
    // What a drag in the list does to its model.
    ASSERT_TRUE(editor()->list()->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
    QCoreApplication::processEvents();
    QStringList names;
    for (const ViewportPreset& preset : store.presets())
        names.append(preset.name);
    EXPECT_EQ(names, (QStringList{"Laptop", "Tablet", "Widescreen", "Mobile"}));
    EXPECT_EQ(editor()->row(2)->nameField()->text(), "Widescreen");
}
