#include "app/Drafts.h"

#include "app/ReleaseFeed.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pintora;

TEST(DraftsTest, OnlyFilesWithTheExactExtensionAreDrafts) {
    QTemporaryDir dir;
    for (const char* name : {"B.pintora", "a.pintora", "c.PINTORA", "d.pintora.bak", "e.txt",
                             "pintora", ".hidden.pintora"})
        test::writeAll(dir.filePath(QLatin1String(name)), "{}");
    QDir(dir.path()).mkdir(QStringLiteral("folder.pintora"));

    QStringList names;
    for (const QString& path : drafts::list(dir.path()))
        names.append(QFileInfo(path).fileName());
    EXPECT_EQ(names, (QStringList{".hidden.pintora", "B.pintora", "a.pintora"}));
    EXPECT_TRUE(drafts::list(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

TEST(DraftsTest, ANewDraftIsNamedByAnUpperCaseUuid) {
    const QString first = drafts::newPath(QStringLiteral("/drafts"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^/drafts/[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}"
                                          "\\.pintora$"))
            .match(first)
            .hasMatch())
        << first.toStdString();
    EXPECT_NE(first, drafts::newPath(QStringLiteral("/drafts")));
    EXPECT_TRUE(drafts::directory().endsWith(QStringLiteral("/Drafts")));
}

TEST(ReleaseFeedTest, VersionsCompareAsNumbers) {
    struct Case {
        const char* candidate;
        const char* current;
        bool newer;
    };
    const Case cases[] = {
        {"0.2.0", "0.1.0", true},       {"0.1.0", "0.1.0", false}, {"0.1", "0.1.0", false},
        {"1.10.0", "1.9.3", true},      {"v1.0.0", "0.9", true},   {"0.0.9", "0.1.0", false},
        {"1.0.0-beta", "0.1.0", false}, {"", "0.1.0", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReleaseFeed::isNewer(QLatin1String(c.candidate), QLatin1String(c.current)),
                  c.newer)
            << c.candidate << " vs " << c.current;
}

TEST(ReleaseFeedTest, AFeedNamesAVersionAndAWebPage) {
    const auto good = ReleaseFeed::parse(
        R"({"version":"1.2.0","url":"https://example.org/pintora/1.2.0","notes":"x"})");
    ASSERT_TRUE(good) << good.error().toStdString();
    EXPECT_EQ(good.value().version, "1.2.0");
    EXPECT_EQ(good.value().url, QUrl(QStringLiteral("https://example.org/pintora/1.2.0")));

    const QByteArray bad[] = {
        "",
        "[]",
        R"({"url":"https://example.org/"})",
        R"({"version":"soon","url":"https://e.org/"})",
        R"({"version":"1.0","url":"file:///etc/passwd"})",
        R"({"version":"1.0"})",
    };
    for (const QByteArray& json : bad) {
        const auto parsed = ReleaseFeed::parse(json);
        EXPECT_FALSE(parsed) << json.toStdString();
        EXPECT_FALSE(parsed.error().isEmpty());
    }
}
