#include "platform/ui/SystemClipboard.h"

#include "canvas/DecodedImageCache.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace pintora {

namespace {
const QMimeData* clipboardData() {
    return QGuiApplication::clipboard()->mimeData();
}

// Upper bound on what a paste accepts as item data; larger claims are treated as absent.
constexpr qsizetype maxItemsBytes = qsizetype(1) << 31;
} // namespace

QStringList SystemClipboard::dataFormats(const QStringList& offered) {
    static const QStringList housekeeping{
        QStringLiteral("TARGETS"),      QStringLiteral("MULTIPLE"), QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"), QStringLiteral("DELETE"),   QStringLiteral("INCR"),
    };
    QStringList formats;
    for (const QString& format : offered)
        if (!housekeeping.contains(format) && !format.startsWith(QStringLiteral("_")))
            formats.append(format);
    return formats;
}

void SystemClipboard::writeItems(const QByteArray& json) {
    auto* data = new QMimeData;
    data->setData(itemsMimeType, json);
    data->setData(itemsTypeAlias, json);
    QGuiApplication::clipboard()->setMimeData(data);
}

QByteArray SystemClipboard::readItems() const {
    const QMimeData* data = clipboardData();
    if (!data) return QByteArray();
    for (const QString& type : {itemsMimeType, itemsTypeAlias}) {
        if (!data->hasFormat(type)) continue;
        const QByteArray json = data->data(type);
        if (!json.isEmpty() && json.size() < maxItemsBytes) return json;
    }
    return QByteArray();
}

QList<QImage> SystemClipboard::readImages() const {
    const QMimeData* data = clipboardData();
    if (!data) return {};
    // Prefer the encoded formats on offer (PNG first), then what Qt decodes by itself.
    QStringList formats = dataFormats(data->formats());
    std::stable_sort(formats.begin(), formats.end(), [](const QString& a, const QString& b) {
        return (a == QStringLiteral("image/png")) > (b == QStringLiteral("image/png"));
    });
    for (const QString& format : formats) {
        if (!format.startsWith(QStringLiteral("image/"))) continue;
        if (const QImage image = decodePicture(data->data(format)); !image.isNull()) return {image};
    }
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) return {image};
    }
    return {};
}

QList<QUrl> SystemClipboard::readFileURLs() const {
    const QMimeData* data = clipboardData();
    if (!data || !data->hasUrls()) return {};
    QList<QUrl> files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.append(url);
    return files;
}

} // namespace pintora
