#include "app/ReleaseFeed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVersionNumber>

namespace pintora {

namespace {
QVersionNumber versionNumber(QString text) {
    if (text.startsWith(QLatin1Char('v')) || text.startsWith(QLatin1Char('V'))) text.remove(0, 1);
    qsizetype suffix = 0;
    const QVersionNumber number = QVersionNumber::fromString(text, &suffix);
    // "1.2.0" parses whole; anything after the numbers makes it no version at all.
    return suffix == text.size() ? number : QVersionNumber();
}
} // namespace

Expected<ReleaseFeed> ReleaseFeed::parse(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Expected<ReleaseFeed>::failure(
            QObject::tr("The release feed is not a JSON object."));
    const QJsonObject object = document.object();
    const QString version = object.value(QLatin1String("version")).toString();
    if (versionNumber(version).isNull())
        return Expected<ReleaseFeed>::failure(
            QObject::tr("The release feed names no version number."));
    const QUrl url(object.value(QLatin1String("url")).toString(), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return Expected<ReleaseFeed>::failure(QObject::tr("The release feed names no web page."));
    return ReleaseFeed{version, url};
}

bool ReleaseFeed::isNewer(const QString& version, const QString& current) {
    const QVersionNumber candidate = versionNumber(version);
    return !candidate.isNull() && candidate > versionNumber(current);
}

} // namespace pintora
