#include "app/Drafts.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

namespace pintora::drafts {

QString directory() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!data.isEmpty()) return data + QStringLiteral("/Drafts");
    return QDir::tempPath() + QStringLiteral("/Pintora/Drafts");
}

QStringList list(const QString& directory) {
    const QDir dir(directory);
    QStringList paths;
    if (!dir.exists()) return paths;
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (entry.suffix() == extension) paths.append(entry.absoluteFilePath());
    return paths;
}

QString newPath(const QString& directory) {
    return directory + QLatin1Char('/') +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('.') +
           extension;
}

} // namespace pintora::drafts
