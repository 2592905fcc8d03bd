#include "platform/UserDefaults.h"

#include "support/Preferences.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
struct UserDefaultsTest : ::testing::Test, test::Preferences {};
} // namespace

// Settings written by earlier versions are read under these names: they must not change.
TEST_F(UserDefaultsTest, StoredValuesSurviveAReopenUnderTheirKeys) {
    const QByteArray presets("[{\"a\":1}]\0\xff", 12);
    defaults.setDefaultURL(QStringLiteral("https://example.org/"));
    defaults.setDefaultTab(QStringLiteral("annotate"));
    defaults.setCaptureFullPage(true);
    defaults.setHasSeenIntro(true);
    defaults.setDefaultStrokeHex(QStringLiteral("#00FF00"));
    defaults.setDefaultTextHex(QStringLiteral("#0000FF"));
    defaults.setDefaultCalloutSize(120.5);
    defaults.setViewportPresetsData(presets);
    defaults.setBrowsingHistoryData("{}");
    settings.sync();

    QSettings reopened(settings.fileName(), QSettings::IniFormat);
    const std::pair<const char*, QVariant> stored[] = {
        {"defaultURL", "https://example.org/"},
        {"defaultTab", "annotate"},
        {"captureFullPage", true},
        {"hasSeenIntro", true},
        {"defaultStrokeHex", "#00FF00"},
        {"defaultTextHex", "#0000FF"},
        {"defaultCalloutSize", 120.5},
        {"viewportPresets.v1", presets},
        {"browsingHistory.v1", QByteArray("{}")},
    };
    for (const auto& [key, value] : stored) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(reopened.contains(QLatin1String(key)));
        EXPECT_EQ(reopened.value(QLatin1String(key)).toString(), value.toString());
    }
    UserDefaults again(&reopened);
    EXPECT_TRUE(again.captureFullPage());
    EXPECT_EQ(again.defaultCalloutSize(), 120.5);
    EXPECT_EQ(again.viewportPresetsData(), presets);
}

TEST_F(UserDefaultsTest, OnlyAnUnsetStartPageFallsBackAndNonNumbersFallBack) {
    defaults.setDefaultURL(QString());
    EXPECT_EQ(defaults.defaultURL(), "");
    defaults.remove(UserDefaults::defaultURLKey);
    EXPECT_EQ(defaults.defaultURL(), UserDefaults::builtInStartPage);
    settings.setValue(UserDefaults::defaultCalloutSizeKey, QStringLiteral("big"));
    EXPECT_EQ(defaults.defaultCalloutSize(), 80);
}
