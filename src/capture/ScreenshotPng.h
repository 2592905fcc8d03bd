#pragma once

#include <QByteArray>
#include <QImage>

namespace pintora {

// The PNG bytes a browser sent for a screenshot, kept beside the image decoded from them, so
// that the picture is stored as it came instead of being encoded again. An entry is taken once;
// only the newest few are kept, so images nobody stores cost nothing for long.
void rememberScreenshotPng(const QImage& image, const QByteArray& png);
// The bytes remembered for `image` (or a copy of it that was not changed since), removed from
// memory; empty when there are none.
QByteArray takeScreenshotPng(const QImage& image);

} // namespace pintora
