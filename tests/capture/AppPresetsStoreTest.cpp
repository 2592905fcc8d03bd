#include "capture/AppPresetsStore.h"

#include "model/CanvasState.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
class AppPresetsStoreTest : public ::testing::Test {
protected:
    QStringList names(const AppPresetsStore& store) const {
        QStringList list;
        for (const ViewportPreset& preset : store.presets())
            list.append(preset.name);
        return list;
    }
    QList<ViewportPreset> stored() const {
        return AppPresetsStore::decode(defaults.viewportPresetsData())
            .value_or(QList<ViewportPreset>{});
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    UserDefaults defaults{&settings};
    const QStringList factory{"Widescreen", "Laptop", "Tablet", "Mobile"};
};
} // namespace

TEST_F(AppPresetsStoreTest, AFirstRunShowsTheDefaultsAndWritesNothing) {
    AppPresetsStore store(defaults);
    EXPECT_EQ(store.presets(), CanvasState::defaultPresets());
    EXPECT_TRUE(store.matchesDefaults());
    EXPECT_FALSE(settings.contains(UserDefaults::viewportPresetsKey));
}

TEST_F(AppPresetsStoreTest, AnUnreadableStoredListGivesTheDefaultsAndStaysUntilAChange) {
    const QByteArray good =
        R"({"id":"8E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11","name":"A","width":1,"height":2,"enabled":true})";
    const QByteArray cases[] = {
        "[]",
        "[" + good +
            R"(,{"id":"9E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11","name":"B","width":1,"height":2}])",
        "[" + good +
            R"(,{"id":"9E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11","name":"B","width":"1","height":2,"enabled":true}])",
        R"([{"id":"{8E1B5D0C-6C55-4E4A-9A39-0B2B8C9E7A11}","name":"A","width":1,"height":2,"enabled":true}])",
        "{}",
        "not json",
        "[" + good,
    };
    for (const QByteArray& bad : cases) {
        defaults.setViewportPresetsData(bad);
        AppPresetsStore store(defaults);
        EXPECT_EQ(names(store), factory) << bad.toStdString();
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

    defaults.setViewportPresetsData(json);
    AppPresetsStore store(defaults);
    EXPECT_EQ(store.presets(), QList<ViewportPreset>{preset});
    EXPECT_FALSE(store.matchesDefaults());
}

TEST_F(AppPresetsStoreTest, EditsChangeTheListAndStoreItWhole) {
    AppPresetsStore store(defaults);
    store.add();
    ASSERT_EQ(store.presets().size(), 5);
    const ViewportPreset added = store.presets().last();
    EXPECT_EQ(added.name, "Custom");
    EXPECT_EQ(QSizeF(added.width, added.height), QSizeF(1024, 768));
    EXPECT_TRUE(added.enabled);
    EXPECT_EQ(stored(), store.presets());
    EXPECT_FALSE(store.matchesDefaults());

    ViewportPreset renamed = store.presetAt(0);
    renamed.name = QStringLiteral("Desktop");
    store.replace(0, renamed);
    EXPECT_EQ(stored()[0].name, "Desktop");

    const QByteArray before = defaults.viewportPresetsData();
    store.remove(store.presets().size()); // out of range: nothing changes, nothing is stored
    store.remove(-1);
    store.replace(99, renamed);
    EXPECT_EQ(store.presets().size(), 5);
    EXPECT_EQ(defaults.viewportPresetsData(), before);
    EXPECT_EQ(store.presetAt(5).name, QString()); // a placeholder for rows past the end
    EXPECT_EQ(store.presetAt(5).width, 0);

    store.remove(0);
    EXPECT_EQ(names(store), (QStringList{"Laptop", "Tablet", "Mobile", "Custom"}));
    store.restoreDefaults();
    EXPECT_TRUE(store.matchesDefaults());
    EXPECT_EQ(stored(), CanvasState::defaultPresets());
}

TEST_F(AppPresetsStoreTest, MovingInsertsBeforeTheElementThatWasAtTheDestination) {
    struct Case {
        QList<qsizetype> sources;
        qsizetype destination;
        QStringList expected;
    };
    const Case cases[] = {
        {{0}, 2, {"Laptop", "Widescreen", "Tablet", "Mobile"}},
        {{0}, 4, {"Laptop", "Tablet", "Mobile", "Widescreen"}},
        {{3}, 0, {"Mobile", "Widescreen", "Laptop", "Tablet"}},
        {{1, 3}, 0, {"Laptop", "Mobile", "Widescreen", "Tablet"}},
        {{0, 2}, 4, {"Laptop", "Mobile", "Widescreen", "Tablet"}},
        {{2}, 2, {"Widescreen", "Laptop", "Tablet", "Mobile"}},
        {{2}, 3, {"Widescreen", "Laptop", "Tablet", "Mobile"}},
    };
    for (const Case& c : cases) {
        AppPresetsStore store(defaults);
        store.restoreDefaults();
        store.move(c.sources, c.destination);
        EXPECT_EQ(names(store), c.expected) << c.destination;
        EXPECT_EQ(stored(), store.presets());
    }
}
