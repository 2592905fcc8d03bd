// A second process for the X11 clipboard test: it pastes what the test copied, or copies
// items for the test to paste.
//   clipboard_helper paste-items        prints the item data found under our type
//   clipboard_helper copy-items FILE    puts FILE's bytes there, says "ready", serves until killed
#include "platform/ui/SystemClipboard.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    pintora::SystemClipboard clipboard;
    if (args.value(1) == QStringLiteral("paste-items")) {
        const QByteArray items = clipboard.readItems();
        std::fwrite(items.constData(), 1, std::size_t(items.size()), stdout);
        return items.isEmpty() ? 1 : 0;
    }
    if (args.value(1) == QStringLiteral("copy-items")) {
        QFile file(args.value(2));
        if (!file.open(QIODevice::ReadOnly)) return 2;
        clipboard.writeItems(file.readAll());
        std::puts("ready");
        std::fflush(stdout);
        return app.exec();
    }
    return 2;
}
