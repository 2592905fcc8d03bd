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
    const QRegularExpression name(
        QStringLiteral("^/drafts/[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.pintora$"));
    EXPECT_TRUE(name.match(first).hasMatch()) << first.toStdString();
    EXPECT_NE(first, drafts::newPath(QStringLiteral("/drafts")));
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

// Good feeds and a feed that is no JSON are checked through the updater's dialog.
TEST(ReleaseFeedTest, AFeedWithoutAVersionOrAWebPageIsRefused) {
    for (const QByteArray& json : {
             QByteArray(R"({"url":"https://example.org/"})"),
             QByteArray(R"({"version":"soon","url":"https://e.org/"})"),
             QByteArray(R"({"version":"1.0","url":"file:///etc/passwd"})"),
             QByteArray(R"({"version":"1.0"})"),
         }) {
        const auto parsed = ReleaseFeed::parse(json);
        EXPECT_FALSE(parsed) << json.toStdString();
        EXPECT_FALSE(parsed.error().isEmpty());
    }
}
