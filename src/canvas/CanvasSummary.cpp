#include "canvas/CanvasSummary.h"

#include <QObject>
#include <QStringList>

namespace pintora {

QString canvasDescription(const CanvasState& state, qsizetype selected) {
    int pictures = 0, shapes = 0, texts = 0, notes = 0;
    for (const CanvasItem& item : state.items) {
        if (item.image()) ++pictures;
        else if (item.shape()) ++shapes;
        else if (const TextItem* text = item.text()) ++(text->style == TextStyle::plain ? texts : notes);
    }
    QStringList counts;
    const auto count = [&counts](int n, const char* one, const char* many) {
        if (n > 0) counts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    count(pictures, "picture", "pictures");
    count(shapes, "shape", "shapes");
    count(texts, "text", "texts");
    count(notes, "note", "notes");
    QString description = QObject::tr("Canvas: %1")
                              .arg(counts.isEmpty() ? QObject::tr("empty")
                                                    : counts.join(QStringLiteral(", ")));
    if (selected > 0) description += QObject::tr("; %1 selected").arg(selected);
    return description;
}

} // namespace pintora
