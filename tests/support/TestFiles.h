#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <ostream>

namespace pintora::test {

// The bytes of a small PNG picture of the given size and colour.
QByteArray pngBytes(int width, int height, QColor color = Qt::red);
QByteArray encodePng(const QImage& image);

// A state with one item of each kind and every field set away from its default.
CanvasState sampleState();

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace pintora::test

// Failure messages show Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
