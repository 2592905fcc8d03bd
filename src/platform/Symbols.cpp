#include "platform/Symbols.h"

#include <QFile>

namespace pintora {

QIcon symbolIcon(const QString& name) {
    const QString path = QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace pintora
