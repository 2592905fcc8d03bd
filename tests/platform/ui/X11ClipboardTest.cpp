// The real X11 clipboard between two processes; reading back in one process would never
// reach the X server.
#include "model/DocumentCodec.h"
#include "model/ItemClipboard.h"
#include "model/PintoraDocument.h"
#include "platform/ui/SystemClipboard.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
// Runs the event loop (this process may own the clipboard) until `done` or a time limit.
template <class Done> bool spinUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 15000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct X11ClipboardTest : ::testing::Test {
    void SetUp() override {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs an X server";
    }
    ~X11ClipboardTest() override {
        other.kill();
        other.waitForFinished();
    }
    PintoraDocument document{QString()};
    SystemClipboard clipboard;
    // The clipboard helper, the other process.
    QProcess other;
};
} // namespace

TEST_F(X11ClipboardTest, ItemsCopiedHereArePastedByAnotherProcess) {
    document.setState(test::sampleState());
    Selection selection{document.state().items[1].id(), document.state().items[2].id()};
    copySelection(document, selection, clipboard);
    other.start(QStringLiteral(PINTORA_CLIPBOARD_HELPER), {"paste-items"});
    ASSERT_TRUE(spinUntil([&] { return other.state() == QProcess::NotRunning; }));
    ASSERT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    const auto pasted = decodeItems(other.readAllStandardOutput());
    ASSERT_TRUE(pasted.ok()) << pasted.error().toStdString();
    EXPECT_EQ(pasted.value(), selectedItems(document.state(), selection));
}

