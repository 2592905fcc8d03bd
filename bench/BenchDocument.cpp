#include "BenchDocument.h"

#include "model/DocumentFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pintora::bench {

namespace {
QByteArray screenshotPNG(int seed) {
    QRandomGenerator rng(quint32(seed + 1));
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, 1920, 72, QColor::fromRgb(rng.generate()));
    for (int line = 0; line < 40; ++line) // lines of "text"
        painter.fillRect(120, 100 + line * 12, 400 + rng.bounded(1200), 6, Qt::darkGray);
    painter.end();
    for (int y = 600; y < 1080; ++y) { // a photo: noise the encoder cannot squeeze
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < 1920; ++x)
            row[x] = 0xFF000000 | (rng.generate() & 0xFFFFFF);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 90);
    return bytes;
}
} // namespace

CanvasState makeBenchDocument(const QString& path, int pictures) {
    if (QFileInfo::exists(path)) {
        auto read = readDocumentFile(path, QString());
        if (read && std::count_if(read.value().items.begin(), read.value().items.end(),
                                  [](const CanvasItem& item) { return item.image(); }) == pictures)
            return std::move(read).value();
    }
    std::fprintf(stderr, "Making %d pictures for %s...\n", pictures, qPrintable(path));
    CanvasState state = CanvasState::makeNew(QStringLiteral("https://example.org/"));
    for (int i = 0; i < pictures; ++i) {
        ImageItem image;
        image.frame = QRectF(i * 1960.0, 0, 1920, 1080);
        image.pngData = screenshotPNG(i);
        state.items.append(image);
        state.items.append(makeShape(ShapeKind::arrow, QRectF(i * 1960.0, 40, 300, 200)));
    }
    const QString error = writeDocumentFile(path, state);
    if (!error.isEmpty()) qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    return state;
}

long statusBytes(const char* field) {
    long kilobytes = -1;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::size_t length = std::strlen(field);
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, field, length) == 0 && line[length] == ':')
                kilobytes = std::atol(line + length + 1);
        std::fclose(status);
    }
    return kilobytes * 1024;
}

} // namespace pintora::bench
