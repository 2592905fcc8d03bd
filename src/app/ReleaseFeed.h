#pragma once

#include "model/Expected.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace pintora {

// The newest release as the release feed announces it: a JSON object
// {"version": "1.2.0", "url": "https://…"}; other members are ignored.
struct ReleaseFeed {
    QString version;
    QUrl url;

    static Expected<ReleaseFeed> parse(const QByteArray& json);

    // Whether `version` is newer than `current`, compared as dotted numbers ("1.10" > "1.9");
    // a leading "v" is allowed.
    static bool isNewer(const QString& version, const QString& current);
};

} // namespace pintora
