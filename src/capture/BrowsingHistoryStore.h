#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace pintora {

class UserDefaults;

// One visit of the in-app browser.
struct HistoryEntry {
    QUuid id;
    QString url;
    QString title;
    QDateTime visitedAt;

    bool operator==(const HistoryEntry&) const = default;
};

// The browsing history of the user account, newest first, each address once, shared by every
// window and kept in user defaults.
class BrowsingHistoryStore : public QObject {
    Q_OBJECT
public:
    static constexpr int maxEntries = 100;

    // Loads the stored list, or an empty one when it cannot be read; writes nothing.
    explicit BrowsingHistoryStore(UserDefaults& defaults, QObject* parent = nullptr);
    static BrowsingHistoryStore& shared();

    const QList<HistoryEntry>& entries() const { return entries_; }
    void record(const QString& url, const QString& title);
    void updateTitle(const QString& url, const QString& title);
    void clear();

    static std::optional<QByteArray> encode(const QList<HistoryEntry>& entries);
    static std::optional<QList<HistoryEntry>> decode(const QByteArray& json);

signals:
    void entriesChanged();

private:
    void persist();

    UserDefaults& defaults_;
    QList<HistoryEntry> entries_;
};

// A menu title of at most 60 characters: line breaks and tabs become spaces, and a longer
// text keeps its first 29 and last 30 characters around an ellipsis.
QString truncateMiddle(const QString& text);

} // namespace pintora
