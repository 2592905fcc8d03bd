#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <ostream>

namespace pintora::test {

// The bytes of a small PNG picture of the given size and colour.
QByteArray pngBytes(int width, int height, QColor color = Qt::red);
QByteArray encodePng(const QImage& image);
// A real 2 x 2 PNG whose header claims another size (the pixel data stays tiny).
QByteArray pngClaimingSize(quint32 width, quint32 height);
// A real PNG of zeros of the given depth and colour type (0 grey, 2 RGB, 3 palette, 4 grey and
// alpha, 6 RGBA): small however many pixels it has.
QByteArray blankPng(quint32 width, quint32 height, int bitDepth, int colourType);

// A state with one item of each kind and every field set away from its default.
CanvasState sampleState();

// Whether two colours differ by at most `tolerance` in each of red, green and blue.
inline bool near(const QColor& a, const QColor& b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace pintora::test

// Failure messages show Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
