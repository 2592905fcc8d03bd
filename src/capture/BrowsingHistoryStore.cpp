#include "capture/BrowsingHistoryStore.h"

#include "model/JsonWriter.h"
#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextBoundaryFinder>
#include <cmath>

namespace pintora {

namespace {
// Visit times are stored as seconds since the start of 2001, UTC.
const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);

QString trimSpacesAndTabs(const QString& text) {
    qsizetype begin = 0, end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Boundaries of user-perceived characters, so an emoji or an accent is never cut in half.
QList<qsizetype> graphemeBoundaries(const QString& text) {
    QList<qsizetype> bounds;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at != -1; at = finder.toNextBoundary())
        bounds.append(at);
    return bounds;
}
} // namespace

BrowsingHistoryStore::BrowsingHistoryStore(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {
    entries_ = decode(defaults_.browsingHistoryData()).value_or(QList<HistoryEntry>{});
}

BrowsingHistoryStore& BrowsingHistoryStore::shared() {
    static BrowsingHistoryStore store(UserDefaults::standard());
    return store;
}

void BrowsingHistoryStore::record(const QString& url, const QString& title) {
    const QString address = url.trimmed();
    if (address.isEmpty() || address.startsWith(QLatin1String("about:"))) return;
    entries_.removeIf([&](const HistoryEntry& entry) { return entry.url == address; });
    entries_.prepend({QUuid::createUuid(), address, title, QDateTime::currentDateTimeUtc()});
    if (entries_.size() > maxEntries) entries_.resize(maxEntries);
    emit entriesChanged();
    persist();
}

void BrowsingHistoryStore::updateTitle(const QString& url, const QString& title) {
    const QString trimmed = trimSpacesAndTabs(title);
    if (trimmed.isEmpty()) return;
    for (HistoryEntry& entry : entries_) {
        if (entry.url != url) continue;
        if (entry.title == trimmed) return;
        entry.title = trimmed;
        emit entriesChanged();
        persist();
        return;
    }
}

void BrowsingHistoryStore::clear() {
    entries_.clear();
    emit entriesChanged();
    persist();
}

void BrowsingHistoryStore::persist() {
    if (const auto json = encode(entries_)) defaults_.setBrowsingHistoryData(*json);
}

std::optional<QByteArray> BrowsingHistoryStore::encode(const QList<HistoryEntry>& entries) {
    QByteArray out;
    JsonWriter writer([&](const char* data, std::size_t size) {
        out.append(data, qsizetype(size));
        return true;
    });
    writer.ch('[');
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const HistoryEntry& entry = entries[i];
        const double seconds = referenceDate.msecsTo(entry.visitedAt) / 1000.0;
        if (!entry.visitedAt.isValid() || !std::isfinite(seconds)) return std::nullopt;
        if (i > 0) writer.ch(',');
        writer.ch('{');
        writer.key("id");
        writer.string(entry.id.toString(QUuid::WithoutBraces).toUpper());
        writer.ch(',');
        writer.key("url");
        writer.string(entry.url);
        writer.ch(',');
        writer.key("title");
        writer.string(entry.title);
        writer.ch(',');
        writer.key("visitedAt");
        writer.number(seconds);
        writer.ch('}');
    }
    writer.ch(']');
    if (!writer.finish()) return std::nullopt;
    return out;
}

std::optional<QList<HistoryEntry>> BrowsingHistoryStore::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    QList<HistoryEntry> entries;
    for (const QJsonValue& value : document.array()) {
        const QJsonObject object = value.toObject();
        const QJsonValue id = object.value(QLatin1String("id"));
        const QJsonValue url = object.value(QLatin1String("url"));
        const QJsonValue title = object.value(QLatin1String("title"));
        const QJsonValue visitedAt = object.value(QLatin1String("visitedAt"));
        if (!value.isObject() || !id.isString() || !url.isString() || !title.isString() ||
            !visitedAt.isDouble())
            return std::nullopt;
        const QString idText = id.toString();
        const QUuid uuid = idText.size() == 36 ? QUuid::fromString(idText) : QUuid();
        if (uuid.isNull()) return std::nullopt;
        entries.append({uuid, url.toString(), title.toString(),
                        referenceDate.addMSecs(qint64(std::llround(visitedAt.toDouble() * 1000)))});
    }
    return entries;
}

QString truncateMiddle(const QString& text) {
    QString flat = text;
    for (QChar& c : flat)
        if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
    flat = trimSpacesAndTabs(flat);
    const QList<qsizetype> bounds = graphemeBoundaries(flat);
    // bounds holds the end of every character: its size is the character count.
    constexpr qsizetype limit = 60, head = 29, tail = 30;
    const qsizetype count = bounds.size();
    if (count <= limit) return flat;
    const qsizetype headEnd = bounds[head - 1];
    const qsizetype tailBegin = bounds[count - tail - 1];
    return flat.left(headEnd) + QStringLiteral("…") + flat.mid(tailBegin);
}

} // namespace pintora
