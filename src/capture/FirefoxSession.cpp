#include "capture/FirefoxSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QtEndian>
#include <lz4.h>

namespace pintora {

std::optional<QByteArray> decodeMozLz4(const QByteArray& file, qint64 maxSize) {
    static constexpr char magic[] = "mozLz40"; // with its terminating zero: 8 bytes
    constexpr qsizetype header = 12;
    if (file.size() < header || !file.startsWith(QByteArray(magic, 8))) return std::nullopt;
    const quint32 size = qFromLittleEndian<quint32>(file.constData() + 8);
    if (qint64(size) > maxSize || file.size() - header > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    QByteArray json(qsizetype(size), Qt::Uninitialized);
    const int decoded = LZ4_decompress_safe(file.constData() + header, json.data(),
                                            int(file.size() - header), int(size));
    if (decoded < 0 || quint32(decoded) != size) return std::nullopt;
    return json;
}

QList<ImportedTab> tabsFromFirefoxSession(const QByteArray& json, const QString& appName) {
    QList<ImportedTab> tabs;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    for (const QJsonValue& window : document.object().value(QStringLiteral("windows")).toArray()) {
        for (const QJsonValue& tab : window.toObject().value(QStringLiteral("tabs")).toArray()) {
            const QJsonArray entries = tab.toObject().value(QStringLiteral("entries")).toArray();
            if (entries.isEmpty()) continue;
            // `index` counts from 1; without one the last entry is the current page.
            qsizetype index =
                tab.toObject().value(QStringLiteral("index")).toInt(int(entries.size())) - 1;
            index = std::clamp<qsizetype>(index, 0, entries.size() - 1);
            const QJsonObject entry = entries[index].toObject();
            const QString url = entry.value(QStringLiteral("url")).toString();
            if (url.isEmpty()) continue;
            tabs.append({url, entry.value(QStringLiteral("title")).toString(), appName});
        }
    }
    return tabs;
}

QStringList firefoxProfiles(const QString& firefoxDir) {
    QSettings ini(firefoxDir + QStringLiteral("/profiles.ini"), QSettings::IniFormat);
    QStringList profiles;
    QString preferred;
    for (const QString& group : ini.childGroups()) {
        ini.beginGroup(group);
        if (group.startsWith(QLatin1StringView("Install"))) {
            preferred = ini.value(QStringLiteral("Default")).toString();
        } else if (group.startsWith(QLatin1StringView("Profile"))) {
            const QString path = ini.value(QStringLiteral("Path")).toString();
            if (!path.isEmpty()) {
                const bool relative = ini.value(QStringLiteral("IsRelative"), 1).toInt() != 0;
                profiles << (relative ? firefoxDir + QLatin1Char('/') + path : path);
            }
        }
        ini.endGroup();
    }
    if (!preferred.isEmpty()) {
        const QString full = firefoxDir + QLatin1Char('/') + preferred;
        profiles.removeAll(full);
        profiles.prepend(full);
    }
    return profiles;
}

QList<ImportedTab> readFirefoxTabs(const QStringList& profileDirs, const QString& appName) {
    QList<ImportedTab> tabs;
    for (const QString& dir : profileDirs) {
        for (const char* name : {"sessionstore-backups/recovery.jsonlz4", "sessionstore.jsonlz4"}) {
            QFile file(dir + QLatin1Char('/') + QLatin1StringView(name));
            // Session files are small; a huge one is not what it claims to be.
            if (!file.open(QIODevice::ReadOnly) || file.size() > (64LL << 20)) continue;
            if (const auto json = decodeMozLz4(file.readAll())) {
                tabs += tabsFromFirefoxSession(*json, appName);
                break;
            }
        }
    }
    return tabs;
}

} // namespace pintora
