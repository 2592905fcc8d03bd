#include "platform/ui/WebProfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace pintora {

namespace {
QWebEngineProfile* profile = nullptr;

void releaseProfile() {
    delete profile;
    profile = nullptr;
}

void keep(QWebEngineProfile* made) {
    profile = made;
    // Post routines run last-registered first: this one before the engine's own clean-up.
    qAddPostRoutine(releaseProfile);
}
} // namespace

namespace {
struct CookieMirror {
    QList<QNetworkCookie> cookies;
    QElapsedTimer sinceChange;
};

CookieMirror& mirror() {
    static CookieMirror* made = [] {
        auto* mirror = new CookieMirror;
        mirror->sinceChange.start();
        QWebEngineCookieStore* store = webProfile()->cookieStore();
        QObject::connect(store, &QWebEngineCookieStore::cookieAdded,
                         [mirror](const QNetworkCookie& cookie) {
                             mirror->cookies.removeIf([&](const QNetworkCookie& other) {
                                 return other.hasSameIdentifier(cookie);
                             });
                             mirror->cookies.append(cookie);
                             mirror->sinceChange.restart();
                         });
        QObject::connect(store, &QWebEngineCookieStore::cookieRemoved,
                         [mirror](const QNetworkCookie& cookie) {
                             mirror->cookies.removeIf([&](const QNetworkCookie& other) {
                                 return other.hasSameIdentifier(cookie);
                             });
                         });
        store->loadAllCookies();
        return mirror;
    }();
    return *made;
}

QJsonArray asDevTools(const QList<QNetworkCookie>& cookies) {
    QJsonArray list;
    for (const QNetworkCookie& cookie : cookies) {
        QJsonObject param{{QStringLiteral("name"), QString::fromUtf8(cookie.name())},
                          {QStringLiteral("value"), QString::fromUtf8(cookie.value())},
                          {QStringLiteral("path"), cookie.path().isEmpty() ? QStringLiteral("/")
                                                                           : cookie.path()},
                          {QStringLiteral("secure"), cookie.isSecure()},
                          {QStringLiteral("httpOnly"), cookie.isHttpOnly()}};
        const QString domain = cookie.domain();
        if (domain.startsWith(u'.')) {
            param.insert(QStringLiteral("domain"), domain);
        } else {
            // A cookie of one host only: named by an address of that host.
            param.insert(QStringLiteral("url"),
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
    return asDevTools(mirror().cookies);
}

QJsonArray loadedWebProfileCookies() {
    CookieMirror& cookies = mirror();
    // The store reads its file in the engine and sends no word when it is done: done once it
    // has been quiet a while.
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (clock.elapsed() >= 3000 ||
            (clock.elapsed() >= 300 && cookies.sinceChange.elapsed() >= 300))
            loop.quit();
    });
    tick.start(20);
    loop.exec();
    return asDevTools(cookies.cookies);
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
