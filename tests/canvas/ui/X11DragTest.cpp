// A real drag between two programs on the X server, moved by xdotool: a picture file dragged
// onto the canvas. (The canvas dragged out of the toolbar's thumbnail into another program is
// an end-to-end scenario.)
#include "canvas/ui/CanvasPane.h"
#include "support/TestFiles.h"
#include "support/Workbench.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

struct X11DragTest : ::testing::Test, test::Workbench {
    QProcess peer;

    ~X11DragTest() override {
        peer.kill();
        peer.waitForFinished();
    }
    void startPeer(const QStringList& args) {
        peer.start(QStringLiteral(PINTORA_DND_PEER), args);
        ASSERT_TRUE(peer.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return peer.canReadLine(); }, 10000));
        ASSERT_EQ(peer.readLine().trimmed(), QByteArray("ready"));
    }
    // Presses at `from`, nudges until the drag has surely begun (a loaded machine may take a
    // moment to grab the pointer), travels in steps to `to` and lets go, as a hand does.
    static QProcess* xdotoolDrag(QPoint from, QPoint to) {
        auto move = [](QStringList& args, QPoint at, const char* pause) {
            args << QStringLiteral("mousemove") << QString::number(at.x())
                 << QString::number(at.y()) << QStringLiteral("sleep")
                 << QString::fromLatin1(pause);
        };
        QStringList args;
        move(args, from, "0.3");
        args << QStringLiteral("mousedown") << QStringLiteral("1");
        move(args, from + QPoint(6, 6), "0.3");
        move(args, from + QPoint(12, 12), "1.0");
        for (int i = 1; i <= 12; ++i)
            move(args, from + (to - from) * i / 12, "0.15");
        move(args, to + QPoint(1, 1), "0.8");
        args << QStringLiteral("mouseup") << QStringLiteral("1");
        auto* xdotool = new QProcess;
        xdotool->start(QStringLiteral("xdotool"), args);
        return xdotool;
    }
};

} // namespace

TEST_F(X11DragTest, APictureFileDroppedOntoTheCanvasIsPlaced) {
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const QString file = dir.filePath(QStringLiteral("drop me.png"));
    ASSERT_TRUE(picture.save(file));
    CanvasPane pane(document, controller, defaults);
    pane.setWindowFlag(Qt::FramelessWindowHint);
    pane.setGeometry(400, 0, 600, 400);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    startPeer({QStringLiteral("source"), file, QStringLiteral("0"), QStringLiteral("0")});
    std::unique_ptr<QProcess> xdotool(xdotoolDrag({100, 100}, {700, 200}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !document.state().items.isEmpty(); }, 30000));
    xdotool->waitForFinished();
    ASSERT_EQ(document.state().items.size(), 1);
    const CanvasItem& item = document.state().items[0];
    ASSERT_TRUE(item.image());
    EXPECT_EQ(item.frame().size(), QSizeF(120, 80));
    // Dropped at view (300, 200) of the canvas: the picture is centred there.
    EXPECT_NEAR(item.frame().center().x(), 300, 2);
    EXPECT_NEAR(item.frame().center().y(), 200, 2);
    EXPECT_EQ(document.undoStack()->undoText(), QStringLiteral("Capture"));
}
