#include "platform/ui/Symbols.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

namespace pintora {

QIcon symbolIcon(const QString& name) {
    const QString path = QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon tintedSymbol(const QString& name, const QColor& color) {
    const QIcon source = symbolIcon(name);
    if (source.isNull()) return source;
    QIcon tinted;
    for (int side : {16, 24, 32, 48}) {
        QPixmap pixmap = source.pixmap(side, side);
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        tinted.addPixmap(pixmap);
    }
    return tinted;
}

} // namespace pintora
