#include "platform/ui/WebProfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QStandardPaths>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <algorithm>
#include <sqlite3.h>

namespace pintora {

namespace {
QWebEngineProfile* profile = nullptr;

void releaseProfile() {
    delete profile;
    profile = nullptr;
}

void keep(QWebEngineProfile* made) {
    profile = made;
    // A page opened from a file reads no other file (a report's script could send ~/.ssh
    // away), and no page reaches local files at all; the page itself still loads.
    made->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    made->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Post routines run last-registered first: this one before the engine's own clean-up.
    qAddPostRoutine(releaseProfile);
}
} // namespace

namespace {
// Where the named profile keeps its data, as the engine lays it out.
QString profileFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/QtWebEngine/Pintora");
}

// The persistent cookies of the profile, read from its cookie file without starting the
// engine; nothing when there is no file or it cannot be read.
QList<QNetworkCookie> storedCookies() {
    QList<QNetworkCookie> cookies;
    const QString path = profileFolder() + QStringLiteral("/Cookies");
    if (!QFileInfo::exists(path)) return cookies;
    sqlite3* db = nullptr;
    // Read-only; a file the running engine holds is read as it is on disk.
    for (const char* mode : {"?mode=ro", "?mode=ro&immutable=1"}) {
        const QByteArray uri = QUrl::fromLocalFile(path).toEncoded() + mode;
        if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt* rows = nullptr;
            if (sqlite3_prepare_v2(db,
                                   "SELECT host_key, name, value, path, expires_utc, is_secure, "
                                   "is_httponly, samesite, has_expires FROM cookies",
                                   -1, &rows, nullptr) == SQLITE_OK) {
                const auto text = [&](int column) {
                    return QByteArray(
                        reinterpret_cast<const char*>(sqlite3_column_text(rows, column)),
                        sqlite3_column_bytes(rows, column));
                };
                const QDateTime now = QDateTime::currentDateTimeUtc();
                while (sqlite3_step(rows) == SQLITE_ROW) {
                    QNetworkCookie cookie(text(1), text(2));
                    cookie.setDomain(QString::fromUtf8(text(0)));
                    cookie.setPath(QString::fromUtf8(text(3)));
                    cookie.setSecure(sqlite3_column_int(rows, 5) != 0);
                    cookie.setHttpOnly(sqlite3_column_int(rows, 6) != 0);
                    switch (sqlite3_column_int(rows, 7)) {
                    case 0:
                        cookie.setSameSitePolicy(QNetworkCookie::SameSite::None);
                        break;
                    case 1:
                        cookie.setSameSitePolicy(QNetworkCookie::SameSite::Lax);
                        break;
                    case 2:
                        cookie.setSameSitePolicy(QNetworkCookie::SameSite::Strict);
                        break;
                    default:
                        break;
                    }
                    if (sqlite3_column_int(rows, 8) != 0) {
                        // Microseconds since 1601.
                        const qint64 micros = sqlite3_column_int64(rows, 4);
                        const QDateTime expires = QDateTime::fromSecsSinceEpoch(
                            micros / 1000000 - 11644473600LL, Qt::UTC);
                        if (expires <= now) continue;
                        cookie.setExpirationDate(expires);
                    }
                    cookies << cookie;
                }
                sqlite3_finalize(rows);
                sqlite3_close(db);
                return cookies;
            }
        }
        sqlite3_close(db);
        db = nullptr;
    }
    return cookies;
}

// What the built-in browser changed since the cookie file was last written.
struct CookieChanges {
    QList<QNetworkCookie> added;
    QList<QNetworkCookie> removed;
};

CookieChanges& changes() {
    static CookieChanges* made = [] {
        auto* changes = new CookieChanges;
        QWebEngineCookieStore* store = webProfile()->cookieStore();
        const auto forget = [](QList<QNetworkCookie>& list, const QNetworkCookie& cookie) {
            list.removeIf(
                [&](const QNetworkCookie& other) { return other.hasSameIdentifier(cookie); });
        };
        QObject::connect(store, &QWebEngineCookieStore::cookieAdded,
                         [changes, forget](const QNetworkCookie& cookie) {
                             forget(changes->added, cookie);
                             forget(changes->removed, cookie);
                             changes->added << cookie;
                         });
        QObject::connect(store, &QWebEngineCookieStore::cookieRemoved,
                         [changes, forget](const QNetworkCookie& cookie) {
                             forget(changes->added, cookie);
                             changes->removed << cookie;
                         });
        return changes;
    }();
    return *made;
}

QJsonArray asDevTools(const QList<QNetworkCookie>& cookies) {
    QJsonArray list;
    for (const QNetworkCookie& cookie : cookies) {
        QJsonObject param{
            {QStringLiteral("name"), QString::fromUtf8(cookie.name())},
            {QStringLiteral("value"), QString::fromUtf8(cookie.value())},
            {QStringLiteral("path"), cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path()},
            {QStringLiteral("secure"), cookie.isSecure()},
            {QStringLiteral("httpOnly"), cookie.isHttpOnly()}};
        const QString domain = cookie.domain();
        if (domain.startsWith(u'.')) {
            param.insert(QStringLiteral("domain"), domain);
        } else {
            // A cookie of one host only: named by an address of that host.
            param.insert(
                QStringLiteral("url"),
                (cookie.isSecure() ? QStringLiteral("https://") : QStringLiteral("http://")) +
                    domain + param.value(QLatin1String("path")).toString());
        }
        if (!cookie.isSessionCookie())
            param.insert(QStringLiteral("expires"),
                         double(cookie.expirationDate().toSecsSinceEpoch()));
        switch (cookie.sameSitePolicy()) {
        case QNetworkCookie::SameSite::Strict:
            param.insert(QStringLiteral("sameSite"), QStringLiteral("Strict"));
            break;
        case QNetworkCookie::SameSite::Lax:
            param.insert(QStringLiteral("sameSite"), QStringLiteral("Lax"));
            break;
        case QNetworkCookie::SameSite::None:
            param.insert(QStringLiteral("sameSite"), QStringLiteral("None"));
            break;
        default:
            break;
        }
        list.append(param);
    }
    return list;
}
} // namespace

QJsonArray webProfileCookies() {
    const CookieChanges& changed = changes();
    QList<QNetworkCookie> cookies = storedCookies();
    cookies.removeIf([&](const QNetworkCookie& cookie) {
        const auto same = [&](const QNetworkCookie& other) {
            return other.hasSameIdentifier(cookie);
        };
        return std::any_of(changed.removed.begin(), changed.removed.end(), same) ||
               std::any_of(changed.added.begin(), changed.added.end(), same);
    });
    return asDevTools(cookies + changed.added);
}

QJsonArray storedWebProfileCookies() {
    return asDevTools(storedCookies());
}

QWebEngineProfile* webProfile() {
    if (!profile) {
        keep(new QWebEngineProfile(QStringLiteral("Pintora")));
        profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    }
    return profile;
}

void useFreshWebProfile() {
    if (!profile) keep(new QWebEngineProfile()); // no name: off the record
}

} // namespace pintora
