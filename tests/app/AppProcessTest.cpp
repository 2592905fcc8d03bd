// Runs the real application binary in a home of its own under the test's X server.
#include "model/DocumentFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <list>

using namespace pintora;

namespace {
class AppProcessTest : public ::testing::Test {
protected:
    AppProcessTest() {
        QDir().mkpath(runtime());
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The welcome sheet has been seen, so that only document windows come up.
        QDir().mkpath(home.filePath(QStringLiteral("config/Pintora")));
        test::writeAll(home.filePath(QStringLiteral("config/Pintora/Pintora.conf")),
                       "[General]\nhasSeenIntro=true\n");
    }
    QString runtime() const { return home.filePath(QStringLiteral("runtime")); }
    QString draftsDir() const {
        return home.filePath(QStringLiteral("data/Pintora/Pintora/Drafts"));
    }
    QString draft(const QString& name) const { return draftsDir() + QLatin1Char('/') + name; }

    QProcess* start(const QStringList& arguments = {}) {
        QProcess* process = &processes.emplace_back();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        for (const char* kind : {"CONFIG", "DATA", "CACHE"})
            env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(kind)),
                       home.filePath(QString::fromLatin1(kind).toLower()));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QStringLiteral(PINTORA_BINARY), arguments);
        EXPECT_TRUE(process->waitForStarted(-1));
        return process;
    }

    // The process's visible windows whose title contains `name`, found through the X server.
    static int countWindows(QProcess* process, const QString& name) {
        QProcess search;
        search.start("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                                 QString::number(process->processId()), "--name", name});
        search.waitForFinished(-1);
        return int(QString::fromLatin1(search.readAllStandardOutput())
                       .split('\n', Qt::SkipEmptyParts)
                       .size());
    }
    // Waits, without a time limit of its own, until the application shows `count` windows.
    static void waitForWindows(QProcess* process, const QString& name, int count) {
        while (countWindows(process, name) < count) {
            ASSERT_EQ(process->state(), QProcess::Running) << "the application ended early";
            QTest::qWait(50);
        }
        EXPECT_EQ(countWindows(process, name), count);
    }
    // Quits as logging out does (SIGTERM): the application saves and ends cleanly.
    static void quit(QProcess* process) {
        process->terminate();
        ASSERT_TRUE(process->waitForFinished(-1));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
    }
    QStringList draftNames() const { return QDir(draftsDir()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir home;
    std::list<QProcess> processes; // killed, if still running, before the home goes
};

CanvasState noteState(const QString& text) {
    CanvasState state = CanvasState::makeNew(QStringLiteral("https://example.org/"));
    TextItem item;
    item.string = text;
    item.frame = QRectF(0, 0, 200, 50);
    state.items.append(item);
    return state;
}
} // namespace

TEST_F(AppProcessTest, DraftsSurviveAKillAfterTheyWereRestoredAndAreRewrittenAtQuit) {
    QDir().mkpath(draftsDir());
    const QStringList names{"11111111-1111-1111-1111-111111111111.pintora",
                            "22222222-2222-2222-2222-222222222222.pintora"};
    for (const QString& name : names) {
        ASSERT_EQ(writeDocumentFile(draft(name), noteState(name.left(1))), QString());
        // Indented, so that a rewrite by the application shows.
        test::writeAll(
            draft(name),
            QJsonDocument::fromJson(test::readAll(draft(name))).toJson(QJsonDocument::Indented));
    }
    test::writeAll(draft(QStringLiteral("other.PINTORA")), "ignored");
    const QStringList all{names[0], names[1], "other.PINTORA"};
    const QByteArray original = test::readAll(draft(names[0]));

    QProcess* first = start();
    waitForWindows(first, QStringLiteral("Untitled"), 2); // the two drafts, nothing else
    first->kill();                                        // SIGKILL: no chance to save
    first->waitForFinished(-1);
    EXPECT_EQ(draftNames(), all);
    EXPECT_EQ(test::readAll(draft(names[0])), original);

    QProcess* second = start();
    waitForWindows(second, QStringLiteral("Untitled"), 2);
    quit(second);
    EXPECT_EQ(draftNames(), all);
    for (const QString& name : names) {
        EXPECT_NE(test::readAll(draft(name)).left(2), QByteArray("{\n")) << "rewritten compact";
        const auto state = readDocumentFile(draft(name), QString());
        ASSERT_TRUE(state) << state.error().toStdString();
        EXPECT_EQ(state.value().items[0].text()->string, name.left(1));
    }
}
