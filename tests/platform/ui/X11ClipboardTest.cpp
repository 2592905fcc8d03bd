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
#include <QStandardPaths>
#include <QTemporaryDir>
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
    PasteResult paste() {
        Selection selection;
        return pasteSelection(document, document.undoStack(), selection, clipboard, {});
    }

    QTemporaryDir dir;
    PintoraDocument document{QString()};
    SystemClipboard clipboard;
    // Another process: the clipboard helper or xclip, which serve the clipboard until ended.
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

TEST_F(X11ClipboardTest, ItemsCopiedByAnotherProcessArePastedHere) {
    const QString file = dir.filePath(QStringLiteral("items.json"));
    const CanvasState sample = test::sampleState();
    test::writeAll(file, encodeItems(sample.items).value());
    other.start(QStringLiteral(PINTORA_CLIPBOARD_HELPER), {"copy-items", file});
    ASSERT_TRUE(spinUntil([&] { return other.canReadLine(); }));
    ASSERT_EQ(other.readLine().trimmed(), "ready");
    // Wait until the X server reports the other process as the owner.
    ASSERT_TRUE(spinUntil([&] { return !clipboard.readItems().isEmpty(); }));
    EXPECT_EQ(paste(), PasteResult::items);
    ASSERT_EQ(document.state().items.size(), sample.items.size());
    EXPECT_EQ(document.state().items[0].image()->pngData, sample.items[0].image()->pngData);
    EXPECT_EQ(document.undoStack()->undoText(), "Paste");
}

TEST_F(X11ClipboardTest, APictureFromAnotherProgramPastesAsACapture) {
    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    ASSERT_FALSE(xclip.isEmpty()) << "xclip is installed by the project's install script";
    const QString png = dir.filePath(QStringLiteral("shot.png"));
    test::writeAll(png, test::pngBytes(120, 80, Qt::magenta));
    // xclip stays behind to serve the selection: keep it off the test's output, which the
    // test runner waits on.
    other.setStandardOutputFile(QProcess::nullDevice());
    other.setStandardErrorFile(QProcess::nullDevice());
    other.start(xclip, {"-selection", "clipboard", "-t", "image/png", "-i", png});
    ASSERT_TRUE(other.waitForFinished(10000));
    ASSERT_TRUE(spinUntil([&] { return !clipboard.readImages().isEmpty(); }));
    ASSERT_EQ(paste(), PasteResult::pictures);
    ASSERT_EQ(document.state().items.size(), 1);
    const ImageItem* image = document.state().items[0].image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->frame, QRectF(-60, -40, 120, 80));
    EXPECT_EQ(QImage::fromData(image->pngData).pixelColor(5, 5), QColor(Qt::magenta));
    EXPECT_EQ(document.undoStack()->undoText(), "Capture");
    clipboard.writeItems("[]"); // taking the selection back ends xclip
}
