// Writes a document of N pictures taken from the pictures of another, repeated in rows of
// four as captures are placed: usage big_document IN.pintora N OUT.pintora. The open
// benchmark (bench/open-bench.sh) makes its documents with it.
#include "model/DocumentFile.h"

#include <QGuiApplication>
#include <cstdio>

using namespace pintora;

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool number = false;
    const int count = args.value(2).toInt(&number);
    if (args.size() != 4 || !number || count < 1) {
        std::fputs("usage: big_document IN.pintora N OUT.pintora\n", stderr);
        return 2;
    }
    auto read = readDocumentFile(args[1], QString());
    if (!read) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), qPrintable(read.error()));
        return 1;
    }
    QList<ImageItem> pictures;
    for (const CanvasItem& item : read.value().items)
        if (const ImageItem* image = item.image()) pictures << *image;
    if (pictures.isEmpty()) {
        std::fputs("the document holds no pictures\n", stderr);
        return 1;
    }
    CanvasState state = read.value();
    state.items.clear();
    double x = 0, y = 0, rowHeight = 0;
    for (int i = 0; i < count; ++i) {
        ImageItem image = pictures[i % pictures.size()];
        image.id = QUuid::createUuid();
        if (i > 0 && i % 4 == 0) {
            x = 0;
            y += rowHeight + 40;
            rowHeight = 0;
        }
        image.frame.moveTopLeft(QPointF(x, y));
        x += image.frame.width() + 40;
        rowHeight = std::max(rowHeight, image.frame.height());
        state.items.append(image);
    }
    const QString error = writeDocumentFile(args[3], state);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[3]), qPrintable(error));
        return 1;
    }
    return 0;
}
