// A real drag between two programs on the X server, moved by xdotool: a picture file dragged
// onto the canvas. (The canvas dragged out of the toolbar's thumbnail into another program is
// an end-to-end scenario.)
#include "canvas/ui/CanvasPane.h"
#include "support/Workbench.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

// Presses at `from`, nudges until the drag has surely begun (a loaded machine may take a moment
// to grab the pointer), travels in steps to `to` and lets go, as a hand does.
QStringList handDrag(QPoint from, QPoint to) {
    QStringList args;
    const auto move = [&](QPoint at, const char* pause) {
        args << "mousemove" << QString::number(at.x()) << QString::number(at.y()) << "sleep"
             << pause;
    };
    move(from, "0.3");
    args << "mousedown"
         << "1";
    move(from + QPoint(6, 6), "0.3");
    move(from + QPoint(12, 12), "1.0");
    for (int i = 1; i <= 12; ++i)
        move(from + (to - from) * i / 12, "0.15");
    move(to + QPoint(1, 1), "0.8");
    args << "mouseup"
         << "1";
    return args;
}

struct X11DragTest : ::testing::Test, test::Workbench {};

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
    // The other program shows its window at the screen's corner and drags the file out of it.
    QProcess peer, xdotool;
    peer.start(QStringLiteral(PINTORA_DND_PEER), {"source", file, "0", "0"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.canReadLine(); }, 10000));
    ASSERT_EQ(peer.readLine().trimmed(), QByteArray("ready"));
    xdotool.start(QStringLiteral("xdotool"), handDrag({100, 100}, {700, 200}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !document.state().items.isEmpty(); }, 30000));
    xdotool.waitForFinished();
    peer.kill();
    peer.waitForFinished();
    ASSERT_EQ(document.state().items.size(), 1);
    const CanvasItem& item = document.state().items[0];
    ASSERT_TRUE(item.image());
    // Dropped at view (300, 200) of the canvas: the picture is centred there.
    EXPECT_EQ(item.frame().size(), QSizeF(120, 80));
    EXPECT_NEAR(item.frame().center().x(), 300, 2);
    EXPECT_NEAR(item.frame().center().y(), 200, 2);
}
