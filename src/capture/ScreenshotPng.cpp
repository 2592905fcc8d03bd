#include "capture/ScreenshotPng.h"

#include <QList>
#include <mutex>
#include <utility>

namespace pintora {

namespace {
// Pictures are taken and stored on different threads.
std::mutex guard;
QList<std::pair<qint64, QByteArray>> remembered;
constexpr qsizetype kept = 16;
} // namespace

void rememberScreenshotPng(const QImage& image, const QByteArray& png) {
    if (image.isNull() || png.isEmpty()) return;
    const std::lock_guard lock(guard);
    remembered.append({image.cacheKey(), png});
    if (remembered.size() > kept) remembered.removeFirst();
}

QByteArray takeScreenshotPng(const QImage& image) {
    const std::lock_guard lock(guard);
    for (qsizetype i = 0; i < remembered.size(); ++i)
        if (remembered[i].first == image.cacheKey()) return remembered.takeAt(i).second;
    return QByteArray();
}

} // namespace pintora
