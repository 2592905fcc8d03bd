#include "capture/AddressText.h"

namespace pintora {

std::optional<QUrl> urlForAddressText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    QString address;
    if (trimmed.contains(QLatin1String("://"))) {
        address = trimmed;
    } else if (trimmed.contains(u'.') && !trimmed.contains(u' ')) {
        address = QStringLiteral("https://") + trimmed;
    } else {
        // What a URL query allows stays as typed; everything else, the space included, is
        // percent-encoded byte by byte.
        const QByteArray query = QUrl::toPercentEncoding(trimmed, "!$&'()*+,;=:@/?");
        address = searchEndpoint + QString::fromLatin1(query);
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return std::nullopt;
    return url;
}

} // namespace pintora
