#include "cli/DocumentSummary.h"

#include "shapes/CropGeometry.h"

#include <QJsonArray>

namespace pintora {

namespace {

QJsonObject rect(const QRectF& r) {
    return {{QStringLiteral("x"), r.x()},
            {QStringLiteral("y"), r.y()},
            {QStringLiteral("width"), r.width()},
            {QStringLiteral("height"), r.height()}};
}

QString raw(std::string_view value) {
    return QString::fromLatin1(value.data(), qsizetype(value.size()));
}

QJsonObject itemSummary(const CanvasItem& item) {
    QJsonObject o{{QStringLiteral("id"), item.id().toString(QUuid::WithoutBraces)},
                  {QStringLiteral("frame"), rect(item.frame())}};
    if (const ImageItem* image = item.image()) {
        o.insert(QStringLiteral("kind"), QStringLiteral("image"));
        o.insert(QStringLiteral("crop"), rect(image->cropRect));
        o.insert(QStringLiteral("bytes"), image->pngData.size());
        if (const auto size = pictureSize(image->pngData)) {
            o.insert(QStringLiteral("pixels"),
                     QJsonObject{{QStringLiteral("width"), size->width()},
                                 {QStringLiteral("height"), size->height()}});
        } else {
            o.insert(QStringLiteral("pixels"), QJsonValue::Null); // not a picture
        }
    } else if (const ShapeItem* shape = item.shape()) {
        o.insert(QStringLiteral("kind"), QStringLiteral("shape"));
        o.insert(QStringLiteral("shape"), raw(rawValue(shape->kind)));
        o.insert(QStringLiteral("strokeHex"), shape->strokeHex);
        o.insert(QStringLiteral("lineWidth"), shape->lineWidth);
        o.insert(QStringLiteral("filled"), shape->filled);
        o.insert(QStringLiteral("hasStartHead"), shape->hasStartHead);
        o.insert(QStringLiteral("hasEndHead"), shape->hasEndHead);
        if (shape->kind == ShapeKind::callout) {
            o.insert(QStringLiteral("calloutHead"), raw(rawValue(shape->calloutHead)));
            o.insert(QStringLiteral("calloutSize"), shape->calloutSize);
        }
    } else if (const TextItem* text = item.text()) {
        o.insert(QStringLiteral("kind"), QStringLiteral("text"));
        o.insert(QStringLiteral("style"), raw(rawValue(text->style)));
        o.insert(QStringLiteral("string"), text->string);
        o.insert(QStringLiteral("fontSize"), text->fontSize);
        o.insert(QStringLiteral("colorHex"), text->colorHex);
        o.insert(QStringLiteral("wraps"), text->wraps);
    }
    return o;
}

} // namespace

QJsonObject documentSummary(const CanvasState& state) {
    QJsonArray items;
    int images = 0, shapes = 0, texts = 0;
    for (const CanvasItem& item : state.items) {
        items.append(itemSummary(item));
        images += item.image() != nullptr;
        shapes += item.shape() != nullptr;
        texts += item.text() != nullptr;
    }
    QJsonArray tabs;
    for (const BrowserTab& tab : state.tabs) {
        tabs.append(
            QJsonObject{{QStringLiteral("url"), tab.url}, {QStringLiteral("title"), tab.title}});
    }
    return {
        {QStringLiteral("counts"), QJsonObject{{QStringLiteral("image"), images},
                                               {QStringLiteral("shape"), shapes},
                                               {QStringLiteral("text"), texts}}},
        {QStringLiteral("items"), items},
        {QStringLiteral("tabs"), tabs},
        {QStringLiteral("activeTabIndex"), double(state.activeTabIndex)},
        {QStringLiteral("defaults"),
         QJsonObject{{QStringLiteral("lineWidth"), state.defaultLineWidth},
                     {QStringLiteral("fontSize"), state.defaultFontSize},
                     {QStringLiteral("noteStyle"), raw(rawValue(state.defaultNoteStyle))}}},
        {QStringLiteral("zoom"), state.zoom},
        {QStringLiteral("pan"),
         QJsonObject{{QStringLiteral("x"), state.panX}, {QStringLiteral("y"), state.panY}}},
    };
}

} // namespace pintora
