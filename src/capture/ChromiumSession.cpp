#include "capture/ChromiumSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <map>
#include <optional>

namespace pintora {

namespace {

enum Command : quint8 {
    setTabWindow = 0,
    setTabIndexInWindow = 2,
    updateTabNavigation = 6,
    setSelectedNavigationIndex = 7,
    tabClosed = 16,
    windowClosed = 17,
};

// Reads little-endian fields from one record's payload, never past its end.
class Reader {
public:
    Reader(const char* data, qsizetype size) : data_(data), size_(size) {}

    std::optional<qint32> int32() {
        if (pos_ + 4 > size_) return std::nullopt;
        const qint32 v = qFromLittleEndian<qint32>(data_ + pos_);
        pos_ += 4;
        return v;
    }
    // A pickled string: its length, its bytes, padding to a multiple of four.
    std::optional<QByteArray> bytes(qsizetype unit) {
        const auto length = int32();
        if (!length || *length < 0 || qint64(*length) * unit > size_ - pos_) return std::nullopt;
        const qsizetype n = qsizetype(*length) * unit;
        QByteArray value(data_ + pos_, n);
        pos_ += (n + 3) & ~qsizetype(3);
        return value;
    }

private:
    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0;
};

struct Tab {
    qint32 window = -1;
    qint32 index = 0;
    qint32 selected = -1;
    std::map<qint32, std::pair<QString, QString>> entries; // index -> address, title
    qint64 order = 0;                                      // first seen, to keep ties stable
};

} // namespace

QList<ImportedTab> tabsFromChromiumSession(const QByteArray& file, const QString& appName) {
    if (file.size() < 8 || !file.startsWith("SNSS")) return {};
    std::map<qint32, Tab> tabs;
    std::map<qint32, qint64> windowOrder;
    qint64 seen = 0;
    auto tab = [&](qint32 id) -> Tab& {
        auto [it, inserted] = tabs.try_emplace(id);
        if (inserted) it->second.order = seen++;
        return it->second;
    };
    qsizetype pos = 8;
    while (pos + 2 <= file.size()) {
        const quint16 size = qFromLittleEndian<quint16>(file.constData() + pos);
        pos += 2;
        if (size == 0 || pos + size > file.size()) break; // cut short: keep what was read
        const quint8 command = quint8(file[pos]);
        Reader payload(file.constData() + pos + 1, size - 1);
        pos += size;
        switch (command) {
        case setTabWindow: {
            const auto window = payload.int32(), id = payload.int32();
            if (!window || !id) break;
            tab(*id).window = *window;
            windowOrder.try_emplace(*window, qint64(windowOrder.size()));
            break;
        }
        case setTabIndexInWindow: {
            const auto id = payload.int32(), index = payload.int32();
            if (id && index) tab(*id).index = *index;
            break;
        }
        case updateTabNavigation: {
            // A pickle: its payload size, then the tab, the entry's index, address and title.
            if (!payload.int32()) break;
            const auto id = payload.int32(), index = payload.int32();
            const auto url = payload.bytes(1);
            const auto title = payload.bytes(2);
            if (!id || !index || !url) break;
            QString titleText;
            if (title) {
                titleText =
                    QString(reinterpret_cast<const QChar*>(title->constData()), title->size() / 2);
            }
            tab(*id).entries[*index] = {QString::fromUtf8(*url), titleText};
            break;
        }
        case setSelectedNavigationIndex: {
            const auto id = payload.int32(), index = payload.int32();
            if (id && index) tab(*id).selected = *index;
            break;
        }
        case tabClosed: {
            if (const auto id = payload.int32()) tabs.erase(*id);
            break;
        }
        case windowClosed: {
            const auto window = payload.int32();
            if (!window) break;
            std::erase_if(tabs, [&](const auto& entry) { return entry.second.window == *window; });
            break;
        }
        default:
            break;
        }
    }
    std::vector<const Tab*> open;
    for (const auto& [id, t] : tabs) {
        if (!t.entries.empty()) open.push_back(&t);
    }
    std::sort(open.begin(), open.end(), [&](const Tab* a, const Tab* b) {
        const qint64 wa = windowOrder.count(a->window) ? windowOrder[a->window] : -1;
        const qint64 wb = windowOrder.count(b->window) ? windowOrder[b->window] : -1;
        if (wa != wb) return wa < wb;
        if (a->index != b->index) return a->index < b->index;
        return a->order < b->order;
    });
    QList<ImportedTab> result;
    for (const Tab* t : open) {
        auto entry = t->entries.find(t->selected);
        if (entry == t->entries.end()) entry = std::prev(t->entries.end());
        if (entry->second.first.isEmpty()) continue;
        result.append({entry->second.first, entry->second.second, appName});
    }
    return result;
}

QList<ImportedTab> readChromiumTabs(const QString& userDataDir, const QString& appName) {
    QList<ImportedTab> tabs;
    const QDir root(userDataDir);
    for (const QString& profile : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (profile != QLatin1StringView("Default") &&
            !profile.startsWith(QLatin1StringView("Profile "))) {
            continue;
        }
        const QDir sessions(root.filePath(profile + QStringLiteral("/Sessions")));
        const QFileInfoList files =
            sessions.entryInfoList({QStringLiteral("Session_*")}, QDir::Files, QDir::Time);
        if (files.isEmpty()) continue;
        QFile file(files.first().filePath());
        if (!file.open(QIODevice::ReadOnly) || file.size() > (64LL << 20)) continue;
        tabs += tabsFromChromiumSession(file.readAll(), appName);
    }
    return tabs;
}

QList<ImportedTab> tabsFromDevToolsList(const QByteArray& json, const QString& appName) {
    QList<ImportedTab> tabs;
    for (const QJsonValue& value : QJsonDocument::fromJson(json).array()) {
        const QJsonObject target = value.toObject();
        if (target.value(QStringLiteral("type")).toString() != QLatin1StringView("page")) continue;
        const QString url = target.value(QStringLiteral("url")).toString();
        if (url.isEmpty()) continue;
        tabs.append({url, target.value(QStringLiteral("title")).toString(), appName});
    }
    return tabs;
}

std::optional<quint16> devToolsPort(const QString& userDataDir) {
    QFile file(userDataDir + QStringLiteral("/DevToolsActivePort"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 4096) return std::nullopt;
    bool ok = false;
    const uint port = QString::fromLatin1(file.readLine()).trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535) return std::nullopt;
    return quint16(port);
}

} // namespace pintora
