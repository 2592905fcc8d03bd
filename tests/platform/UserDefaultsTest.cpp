#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    UserDefaults defaults{&settings};
};
} // namespace

TEST_F(UserDefaultsTest, UnsetKeysGiveTheirDefaults) {
    EXPECT_EQ(defaults.defaultURL(), UserDefaults::builtInStartPage);
    EXPECT_TRUE(UserDefaults::builtInStartPage.startsWith(QStringLiteral("https://")));
    EXPECT_EQ(defaults.defaultTab(), "capture");
    EXPECT_FALSE(defaults.captureFullPage());
    EXPECT_FALSE(defaults.hasSeenIntro());
    EXPECT_EQ(defaults.defaultStrokeHex(), "#FF3B30");
    EXPECT_EQ(defaults.defaultTextHex(), "#000000");
    EXPECT_EQ(defaults.defaultCalloutSize(), 80);
    EXPECT_TRUE(defaults.viewportPresetsData().isNull());
    EXPECT_TRUE(defaults.browsingHistoryData().isNull());
}

TEST_F(UserDefaultsTest, StoredValuesSurviveAReopenUnderTheirKeys) {
    defaults.setDefaultURL(QStringLiteral("https://example.org/"));
    defaults.setDefaultTab(QStringLiteral("annotate"));
    defaults.setCaptureFullPage(true);
    defaults.setHasSeenIntro(true);
    defaults.setDefaultStrokeHex(QStringLiteral("#00FF00"));
    defaults.setDefaultTextHex(QStringLiteral("#0000FF"));
    defaults.setDefaultCalloutSize(120.5);
    defaults.setViewportPresetsData(QByteArray("[{\"a\":1}]\0\xff", 12));
    defaults.setBrowsingHistoryData("{}");
    settings.sync();

    QSettings reopened(settings.fileName(), QSettings::IniFormat);
    UserDefaults again(&reopened);
    EXPECT_EQ(again.defaultURL(), "https://example.org/");
    EXPECT_EQ(again.defaultTab(), "annotate");
    EXPECT_TRUE(again.captureFullPage());
    EXPECT_TRUE(again.hasSeenIntro());
    EXPECT_EQ(again.defaultStrokeHex(), "#00FF00");
    EXPECT_EQ(again.defaultTextHex(), "#0000FF");
    EXPECT_EQ(again.defaultCalloutSize(), 120.5);
    EXPECT_EQ(again.viewportPresetsData(), QByteArray("[{\"a\":1}]\0\xff", 12));
    EXPECT_EQ(again.browsingHistoryData(), "{}");
    for (const QString& key :
         {UserDefaults::defaultURLKey, UserDefaults::viewportPresetsKey,
          UserDefaults::browsingHistoryKey, UserDefaults::defaultCalloutSizeKey})
        EXPECT_TRUE(reopened.contains(key)) << key.toStdString();
    EXPECT_TRUE(reopened.contains(QStringLiteral("viewportPresets.v1")));
}

TEST_F(UserDefaultsTest, AnEmptyStartPageIsKeptAndNonNumbersFallBack) {
    defaults.setDefaultURL(QString());
    EXPECT_EQ(defaults.defaultURL(), ""); // only an unset key falls back
    settings.setValue(UserDefaults::defaultCalloutSizeKey, QStringLiteral("big"));
    EXPECT_EQ(defaults.defaultCalloutSize(), 80);
    defaults.remove(UserDefaults::defaultURLKey);
    EXPECT_EQ(defaults.defaultURL(), UserDefaults::builtInStartPage);
}
