// Dragging one item across a canvas that holds 20 screenshots of 1920 × 5000: the frame time
// of the canvas widget for every step of a scripted drag, at the zoom a full canvas is seen at.
#include "canvas/CanvasController.h"
#include "canvas/ScaledPictureCache.h"
#include "canvas/ui/CanvasPane.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace pintora;

namespace {

QByteArray screenshotPng(int seed) {
    QImage image(1920, 5000, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter p(&image);
    p.fillRect(0, 0, 1920, 80, QColor::fromHsv(seed * 37 % 360, 120, 200));
    for (int y = 120; y < 5000; y += 28) {
        for (int x = 80; x < 1400; x += 140)
            p.fillRect(x, y, 90 + (x * y + seed) % 40, 14, Qt::darkGray);
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 90);
    return bytes;
}

void send(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, w.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    UserDefaults defaults(&settings);
    PintoraDocument document{QString()};
    CanvasState state = document.state();
    const QByteArray png = screenshotPng(1);
    for (int i = 0; i < 20; ++i) {
        ImageItem image;
        image.frame = QRectF((i % 10) * 1960.0, (i / 10) * 5040.0, 1920, 5000);
        image.pngData = png;
        state.items.append(image);
    }
    ShapeItem box = makeShape(ShapeKind::rect, {200, 200, 400, 300});
    box.lineWidth = 12;
    state.items.append(box);
    document.setState(state);

    CanvasController controller;
    CanvasPane pane(document, controller, defaults);
    pane.resize(1920, 1080);
    pane.show();
    controller.setViewportSize(QSizeF(1920, 1080));
    controller.fitToContent(document.state());
    // Let the scaled copies of the pictures be made, as they are once a canvas has been shown.
    QImage backing(pane.size(), QImage::Format_RGB32);
    pane.render(&backing);
    ScaledPictureCache::shared().waitForCopies();

    const QPointF start = controller.viewPoint({400, 350});
    QList<double> frames;
    send(pane, QEvent::MouseButtonPress, start, Qt::LeftButton);
    for (int step = 1; step <= 240; ++step) {
        send(pane, QEvent::MouseMove, start + QPointF(step * 3.0, step * 1.5), Qt::LeftButton);
        QElapsedTimer timer;
        timer.start();
        pane.render(&backing); // what a repaint of the window does, synchronously
        frames.append(timer.nsecsElapsed() / 1e6);
    }
    send(pane, QEvent::MouseButtonRelease, start + QPointF(720, 360), Qt::NoButton);
    const QRectF moved = document.state().items.last().frame();
    if (moved.topLeft() == QPointF(200, 200)) {
        std::fprintf(stderr, "the drag did not move the item\n");
        return 1;
    }
    std::sort(frames.begin(), frames.end());
    std::printf("zoom %.3f, %lld frames: median %.2f ms, 95th %.2f ms, worst %.2f ms "
                "(60 per second needs 16.7 ms)\n",
                controller.zoom(), static_cast<long long>(frames.size()), frames[frames.size() / 2],
                frames[frames.size() * 95 / 100], frames.last());
    return 0;
}
