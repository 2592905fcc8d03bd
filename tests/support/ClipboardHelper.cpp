// A second process for the X11 clipboard test: it pastes what the test copied.
//   clipboard_helper paste-items        prints the item data found under our type
#include "platform/ui/SystemClipboard.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (app.arguments().value(1) != QStringLiteral("paste-items")) return 2;
    const QByteArray items = pintora::SystemClipboard().readItems();
    std::fwrite(items.constData(), 1, std::size_t(items.size()), stdout);
    return items.isEmpty() ? 1 : 0;
}
