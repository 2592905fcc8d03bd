#include "capture/AddressText.h"

#include <QRegularExpression>

namespace pintora {

namespace {
// The host and port at the start of text typed without a scheme ("127.0.0.1:8765/page").
struct TypedHost {
    QString host;
    bool hasPort = false;
};

TypedHost typedHost(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\[[0-9A-Fa-f:.]+\]|[^/?#:\[\]]+)(:[0-9]{1,5})?(?:[/?#]|$))"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return {};
    return {match.captured(1), match.hasCaptured(2)};
}

// Hosts that are never reached over https by default: this machine, the private networks
// and link-local addresses.
bool isLocalHost(QString host) {
    host = host.toLower();
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")))
        return true;
    if (host.startsWith(u'[')) {
        const QString v6 = host.mid(1, host.size() - 2);
        return v6 == QLatin1String("::1") || v6.startsWith(QLatin1String("fc")) ||
               v6.startsWith(QLatin1String("fd")) || v6.startsWith(QLatin1String("fe80:"));
    }
    const QStringList parts = host.split(u'.');
    if (parts.size() != 4) return false;
    int octets[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        octets[i] = parts[i].toInt(&ok);
        if (!ok || parts[i].isEmpty() || parts[i].size() > 3 || octets[i] > 255) return false;
    }
    return octets[0] == 127 || octets[0] == 10 ||
           (octets[0] == 172 && octets[1] >= 16 && octets[1] <= 31) ||
           (octets[0] == 192 && octets[1] == 168) || (octets[0] == 169 && octets[1] == 254);
}
} // namespace

QString storedAddress(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded);
}

std::optional<QUrl> urlForStoredAddress(const QString& address) {
    // Tolerant, so that an address kept decoded ("?q=a b", "/Café") is encoded again.
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty()) return std::nullopt;
    return url;
}

QString addressForDisplay(const QString& address) {
    const auto url = urlForStoredAddress(address);
    return url ? url->toDisplayString() : address;
}

std::optional<QUrl> urlForAddressText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    QString address;
    const TypedHost typed = typedHost(trimmed);
    const bool local = !typed.host.isEmpty() && isLocalHost(typed.host);
    if (trimmed.contains(QLatin1String("://"))) {
        address = trimmed;
    } else if (!trimmed.contains(u' ') && (local || typed.hasPort)) {
        address = QStringLiteral("http://") + trimmed;
    } else if (trimmed.contains(u'.') && !trimmed.contains(u' ')) {
        address = QStringLiteral("https://") + trimmed;
    } else {
        // What a URL query allows stays as typed; everything else, the space included, is
        // percent-encoded byte by byte.
        const QByteArray query = QUrl::toPercentEncoding(trimmed, "!$&'()*+,;=:@/?");
        address = searchEndpoint + QString::fromLatin1(query);
    }
    return urlForStoredAddress(address);
}

std::optional<QList<QUrl>> parseAddressList(const QByteArray& text, const QString& name,
                                            QString* error) {
    QList<QUrl> urls;
    int number = 0;
    for (const QByteArray& raw : text.split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QUrl url = QUrl::fromUserInput(line);
        if (!url.isValid() || url.scheme().isEmpty()) {
            *error = QStringLiteral("%1:%2: '%3' is not an address")
                         .arg(name, QString::number(number), line);
            return std::nullopt;
        }
        urls << url;
    }
    if (urls.isEmpty()) {
        *error = QStringLiteral("%1: no addresses in the file").arg(name);
        return std::nullopt;
    }
    return urls;
}

} // namespace pintora
