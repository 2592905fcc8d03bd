// The other program of the drag-and-drop tests: "source FILE X Y" shows a window at (X, Y)
// that drags FILE out (its address and its picture) when pressed; "target X Y" shows a window
// that takes one drop, prints what it carried and exits.
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class Source : public QWidget {
public:
    explicit Source(QString file) : file_(std::move(file)) {}

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(file_)});
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }

private:
    QString file_;
};

class Target : public QWidget {
public:
    Target() { setAcceptDrops(true); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        event->acceptProposedAction();
        const QMimeData* mime = event->mimeData();
        const QByteArray png = mime->data(QStringLiteral("image/png"));
        std::printf("png %lld\n", static_cast<long long>(png.size()));
        for (const QUrl& url : mime->urls()) {
            QFile file(url.toLocalFile());
            const bool same = file.open(QIODevice::ReadOnly) && file.readAll() == png;
            std::printf("file %s %s\n", qPrintable(url.toString()), same ? "same" : "different");
        }
        std::fflush(stdout);
        QApplication::exit(0);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    std::unique_ptr<QWidget> window;
    if (args.value(1) == QLatin1StringView("source") && args.size() == 5) {
        window = std::make_unique<Source>(args[2]);
    } else if (args.value(1) == QLatin1StringView("target") && args.size() == 4) {
        window = std::make_unique<Target>();
    } else {
        std::fprintf(stderr, "usage: dnd_peer source FILE X Y | target X Y\n");
        return 2;
    }
    window->setWindowFlag(Qt::FramelessWindowHint);
    window->setGeometry(args[args.size() - 2].toInt(), args.last().toInt(), 200, 200);
    window->show();
    return app.exec();
}
