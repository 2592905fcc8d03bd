#include "capture/BrowsingHistoryStore.h"

#include "platform/UserDefaults.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
class BrowsingHistoryStoreTest : public ::testing::Test, public test::Preferences {
protected:
    QStringList urls(const BrowsingHistoryStore& store) const {
        QStringList list;
        for (const HistoryEntry& entry : store.entries())
            list.append(entry.url);
        return list;
    }
};
} // namespace

TEST_F(BrowsingHistoryStoreTest, RecordingKeepsEachAddressOnceNewestFirstAndNoBlankOnes) {
    BrowsingHistoryStore store(defaults);
    for (const char* url : {"", "   ", " about:blank ", "about:srcdoc"})
        store.record(QString::fromLatin1(url), QStringLiteral("x"));
    EXPECT_FALSE(settings.contains(UserDefaults::browsingHistoryKey));
    store.record(QStringLiteral(" https://a.example/ \n"), QStringLiteral("A"));
    store.record(QStringLiteral("https://b.example/"), QStringLiteral("B"));
    store.record(QStringLiteral("https://a.example/"), QStringLiteral("A again"));
    EXPECT_EQ(urls(store), (QStringList{"https://a.example/", "https://b.example/"}));
    EXPECT_EQ(store.entries()[0].title, QStringLiteral("A again"));
    // Case and a trailing slash make different addresses.
    store.record(QStringLiteral("https://A.example"), QString());
    EXPECT_EQ(store.entries().size(), 3);
}

TEST_F(BrowsingHistoryStoreTest, TheHundredAndFirstAddressDropsTheOldest) {
    BrowsingHistoryStore store(defaults);
    for (int i = 0; i <= BrowsingHistoryStore::maxEntries; ++i)
        store.record(QStringLiteral("https://site%1.example/").arg(i), QString());
    ASSERT_EQ(store.entries().size(), BrowsingHistoryStore::maxEntries);
    EXPECT_EQ(store.entries().first().url, QStringLiteral("https://site100.example/"));
    EXPECT_EQ(store.entries().last().url, QStringLiteral("https://site1.example/"));
}

TEST_F(BrowsingHistoryStoreTest, TitleUpdatesTrimAndIgnoreBlankTitlesAndUnknownAddresses) {
    BrowsingHistoryStore store(defaults);
    store.record(QStringLiteral("https://a.example/"), QStringLiteral("Old"));
    store.record(QStringLiteral("https://b.example/"), QStringLiteral("B"));
    HistoryEntry expected = store.entries()[1];
    store.updateTitle(QStringLiteral("https://a.example/"), QStringLiteral(" \t "));
    store.updateTitle(QStringLiteral("https://c.example/"), QStringLiteral("C"));
    EXPECT_EQ(store.entries()[1], expected);
    store.updateTitle(QStringLiteral("https://a.example/"), QStringLiteral("\tNew "));
    expected.title = QStringLiteral("New"); // neither its time nor its place changes
    EXPECT_EQ(store.entries()[1], expected);
}

TEST_F(BrowsingHistoryStoreTest, TheListSurvivesAReloadAndAnUnreadableOneReadsAsEmpty) {
    {
        BrowsingHistoryStore store(defaults);
        store.record(QStringLiteral("https://a.example/"), QStringLiteral("A \"quoted\""));
        store.record(QStringLiteral("https://b.example/"), QStringLiteral("B"));
    }
    BrowsingHistoryStore reloaded(defaults);
    ASSERT_EQ(reloaded.entries().size(), 2);
    EXPECT_EQ(reloaded.entries()[1].title, QStringLiteral("A \"quoted\""));
    // The stored form other versions read: fields in this order.
    EXPECT_TRUE(defaults.browsingHistoryData().contains(
        R"("url":"https:\/\/b.example\/","title":"B","visitedAt":)"));

    for (const char* bad : {"{}", "[{\"id\":\"x\",\"url\":\"u\",\"title\":\"t\",\"visitedAt\":1}]",
                            "[{\"url\":\"u\",\"title\":\"t\",\"visitedAt\":1}]"}) {
        defaults.setBrowsingHistoryData(QByteArray(bad));
        EXPECT_TRUE(BrowsingHistoryStore(defaults).entries().isEmpty()) << bad;
    }
    reloaded.clear();
    EXPECT_EQ(defaults.browsingHistoryData(), QByteArray("[]"));
}

TEST(TruncateMiddleTest, LongTitlesKeepTheirEndsAroundAnEllipsis) {
    const QString sixty(60, u'a');
    const QString sixtyOne = QString(29, u'h') + QStringLiteral("X") + QString(31, u't');
    const struct {
        QString input, expected;
    } cases[] = {
        {sixty, sixty},
        {sixtyOne, QString(29, u'h') + QStringLiteral("…") + QString(30, u't')},
        {QStringLiteral("two\nlines\r\tand tab"), QStringLiteral("two lines  and tab")},
        // An emoji counts as one character and is never cut in half.
        {QString(29, u'a') + QStringLiteral("😀😀") + QString(30, u'b'),
         QString(29, u'a') + QStringLiteral("…") + QString(30, u'b')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(truncateMiddle(c.input), c.expected) << c.input.toStdString();
}
