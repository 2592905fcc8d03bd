#include "platform/PortalScreenshot.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>
#include <QUrl>
#include <utility>

namespace pintora {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString screenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
// The portal may have to start first, and its desktop's part with it.
constexpr int probeTimeoutMs = 3000;
} // namespace

PortalScreenshot::PortalScreenshot(QObject* parent) : QObject(parent) {}

bool PortalScreenshot::available() {
    static bool known = false;
    if (known) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, desktopPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << screenshotInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, probeTimeoutMs);
    known = reply.type() == QDBusMessage::ReplyMessage;
    return known;
}

QString PortalScreenshot::requestPath(const QString& sender, const QString& token) {
    QString name = sender.startsWith(u':') ? sender.mid(1) : sender;
    name.replace(u'.', u'_');
    return desktopPath + QStringLiteral("/request/") + name + u'/' + token;
}

QString PortalScreenshot::pictureFile(uint response, const QVariantMap& results, bool* failed) {
    *failed = false;
    if (response == 1) return {}; // the user cancelled
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (response != 0 || !uri.isLocalFile()) {
        *failed = true;
        return {};
    }
    return uri.toLocalFile();
}

void PortalScreenshot::listen(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!listening_.isEmpty())
        bus.disconnect(service, listening_, requestInterface, QStringLiteral("Response"), this,
                       SLOT(answer(uint, QVariantMap)));
    listening_ = path;
    if (!path.isEmpty())
        bus.connect(service, path, requestInterface, QStringLiteral("Response"), this,
                    SLOT(answer(uint, QVariantMap)));
}

void PortalScreenshot::start(bool interactive) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    answered_ = false;
    const QString token = QStringLiteral("pintora%1").arg(QRandomGenerator::global()->generate());
    // Listening before asking: the answer may come before the call returns.
    listen(requestPath(bus.baseService(), token));
    QDBusMessage call = QDBusMessage::createMethodCall(service, desktopPath, screenshotInterface,
                                                       QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), interactive},
                        {QStringLiteral("modal"), true}};
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call, probeTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> handle = *w;
        if (answered_) return;
        if (handle.isError()) {
            answered_ = true;
            listen(QString());
            emit failed(handle.error().message());
            return;
        }
        // Portals older than the handle token answer on a path of their own choosing.
        if (handle.value().path() != listening_) listen(handle.value().path());
    });
}

void PortalScreenshot::answer(uint response, const QVariantMap& results) {
    if (std::exchange(answered_, true)) return;
    listen(QString());
    bool broken = false;
    const QString file = pictureFile(response, results, &broken);
    if (broken)
        emit failed(tr("The desktop did not take the screenshot."));
    else if (file.isEmpty())
        emit cancelled();
    else
        emit taken(file);
}

} // namespace pintora
