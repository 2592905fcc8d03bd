#include "capture/AppPresetsStore.h"

#include "model/CanvasState.h"
#include "platform/UserDefaults.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
struct AppPresetsStoreTest : ::testing::Test, test::Preferences {};
} // namespace

// Nothing is written until the user changes the list, so a damaged list is not lost by a look.
TEST_F(AppPresetsStoreTest, AMissingOrUnreadableStoredListGivesTheDefaultsAndStaysUntilAChange) {
    EXPECT_EQ(AppPresetsStore(defaults).presets(), CanvasState::defaultPresets());
    EXPECT_FALSE(settings.contains(UserDefaults::viewportPresetsKey));

    const QByteArray good =
        R"({"id":"8E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11","name":"A","width":1,"height":2,"enabled":true})";
    const QByteArray other = R"(,{"id":"9E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11","name":"B",)";
    const QByteArray cases[] = {
        "[]",
        "[" + good + other + R"("width":1,"height":2}])",
        "[" + good + other + R"("width":"1","height":2,"enabled":true}])",
        R"([{"id":"{8E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11}","name":"A","width":1,"height":2,"enabled":true}])",
        "[" + good,
    };
    for (const QByteArray& bad : cases) {
        defaults.setViewportPresetsData(bad);
        EXPECT_EQ(AppPresetsStore(defaults).presets(), CanvasState::defaultPresets())
            << bad.toStdString();
        EXPECT_EQ(defaults.viewportPresetsData(), bad) << "loading must not write";
    }
}

TEST_F(AppPresetsStoreTest, TheListIsStoredCompactInFieldOrderAndReadInEitherCase) {
    const ViewportPreset preset{
        QUuid::fromString(QStringLiteral("8e1b5d0c-6c55-4e4a-9a39-0b2b8c9e7a11")),
        QStringLiteral("Wide “4K”"), 3840.5, 2160, false};
    const QByteArray json = AppPresetsStore::encode({preset}).value();
    EXPECT_EQ(json,
              QByteArray(R"([{"id":"8E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11","name":"Wide “4K”",)"
                         R"("width":3840.5,"height":2160,"enabled":false}])"));
    EXPECT_EQ(AppPresetsStore::decode(json.toLower()).value()[0].id, preset.id);
    // A name is written whole, NUL characters included.
    ViewportPreset nul = preset;
    nul.name = QStringLiteral("A") + QChar(0) + QStringLiteral("B");
    EXPECT_EQ(AppPresetsStore::decode(AppPresetsStore::encode({nul}).value()),
              QList<ViewportPreset>{nul});
}

// The list moves one row at a time (a drag of its single selection); the settings and the
// sidebar tests cover adding, removing and restoring through their rows.
TEST_F(AppPresetsStoreTest, MovingInsertsBeforeTheDestinationAndOutOfRangeEditsDoNothing) {
    const struct {
        qsizetype source, destination;
        QStringList expected;
    } cases[] = {
        {0, 4, {"Laptop", "Tablet", "Mobile", "Widescreen"}},
        {3, 0, {"Mobile", "Widescreen", "Laptop", "Tablet"}},
        {2, 3, {"Widescreen", "Laptop", "Tablet", "Mobile"}},
    };
    AppPresetsStore store(defaults);
    for (const auto& c : cases) {
        store.restoreDefaults();
        store.move({c.source}, c.destination);
        QStringList names;
        for (const ViewportPreset& preset : store.presets())
            names.append(preset.name);
        EXPECT_EQ(names, c.expected) << c.source << "->" << c.destination;
        EXPECT_EQ(AppPresetsStore::decode(defaults.viewportPresetsData()), store.presets());
    }

    const QByteArray before = defaults.viewportPresetsData();
    store.remove(store.presets().size());
    store.remove(-1);
    store.replace(99, store.presetAt(0));
    EXPECT_EQ(defaults.viewportPresetsData(), before);
    EXPECT_EQ(store.presetAt(5).name, QString());
}
