// Writing documents and item lists in the exact text of the file format: compact, members in
// declaration order, every field, UUIDs in upper case.
#include "model/DocumentCodec.h"

#include <cmath>
#include <string>

namespace pintora {

namespace {

struct EncodeFailure {
    QString message;
};

class Encoder {
public:
    explicit Encoder(JsonWriter& writer) : w_(writer) {}

    void state(const CanvasState& state) {
        w_.ch('{');
        w_.key("items");
        items(state.items);
        w_.ch(',');
        number("zoom", state.zoom);
        w_.ch(',');
        number("panX", state.panX);
        w_.ch(',');
        number("panY", state.panY);
        w_.raw(",\"tabs\":[");
        for (qsizetype i = 0; i < state.tabs.size(); ++i) {
            if (i > 0) w_.ch(',');
            tab(state.tabs[i]);
        }
        w_.raw("],");
        w_.key("activeTabIndex");
        w_.integer(state.activeTabIndex);
        w_.ch(',');
        number("defaultLineWidth", state.defaultLineWidth);
        w_.ch(',');
        number("defaultFontSize", state.defaultFontSize);
        w_.ch(',');
        w_.key("defaultNoteStyle");
        w_.string(rawValue(state.defaultNoteStyle));
        if (state.lastActiveTabRaw) {
            w_.ch(',');
            w_.key("lastActiveTabRaw");
            w_.string(*state.lastActiveTabRaw);
        }
        w_.ch('}');
    }

    void items(const QList<CanvasItem>& items) {
        w_.ch('[');
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i > 0) w_.ch(',');
            index_ = i;
            item(items[i]);
        }
        index_ = -1;
        w_.ch(']');
    }

private:
    void item(const CanvasItem& item) {
        if (const ImageItem* image = item.image()) {
            caseName_ = "image";
            w_.raw("{\"image\":{\"_0\":{");
            uuid("id", image->id);
            w_.ch(',');
            rect("frame", image->frame);
            w_.ch(',');
            w_.key("pngData");
            w_.base64(image->pngData);
            w_.ch(',');
            rect("cropRect", image->cropRect);
        } else if (const ShapeItem* shape = item.shape()) {
            caseName_ = "shape";
            w_.raw("{\"shape\":{\"_0\":{");
            uuid("id", shape->id);
            w_.raw(",\"kind\":");
            w_.string(rawValue(shape->kind));
            w_.ch(',');
            rect("frame", shape->frame);
            w_.raw(",\"strokeHex\":");
            w_.string(shape->strokeHex);
            w_.ch(',');
            number("lineWidth", shape->lineWidth);
            w_.raw(",\"filled\":");
            w_.boolean(shape->filled);
            w_.raw(",\"hasStartHead\":");
            w_.boolean(shape->hasStartHead);
            w_.raw(",\"hasEndHead\":");
            w_.boolean(shape->hasEndHead);
            w_.raw(",\"calloutHead\":");
            w_.string(rawValue(shape->calloutHead));
            w_.ch(',');
            number("calloutSize", shape->calloutSize);
        } else if (const TextItem* text = item.text()) {
            caseName_ = "text";
            w_.raw("{\"text\":{\"_0\":{");
            uuid("id", text->id);
            w_.ch(',');
            rect("frame", text->frame);
            w_.raw(",\"string\":");
            w_.string(text->string);
            w_.ch(',');
            number("fontSize", text->fontSize);
            w_.raw(",\"colorHex\":");
            w_.string(text->colorHex);
            w_.raw(",\"wraps\":");
            w_.boolean(text->wraps);
            w_.raw(",\"style\":");
            w_.string(rawValue(text->style));
        }
        w_.raw("}}}");
    }

    void tab(const BrowserTab& tab) {
        w_.ch('{');
        uuid("id", tab.id);
        w_.raw(",\"url\":");
        w_.string(tab.url);
        w_.raw(",\"title\":");
        w_.string(tab.title);
        w_.ch('}');
    }

    void uuid(std::string_view key, const QUuid& id) {
        w_.key(key);
        w_.string(std::string_view(id.toByteArray(QUuid::WithoutBraces).toUpper()));
    }

    void checkFinite(std::string_view key, double value) const {
        if (std::isfinite(value)) return;
        QString where = QString::fromLatin1(key.data(), qsizetype(key.size()));
        if (index_ >= 0)
            where = QStringLiteral("items[%1].%2._0.%3").arg(index_).arg(caseName_, where);
        throw EncodeFailure{QStringLiteral("%1: %2 is not a finite number and cannot be saved.")
                                .arg(where, QString::number(value))};
    }

    void number(std::string_view key, double value) {
        checkFinite(key, value);
        w_.key(key);
        w_.number(value);
    }

    void rect(std::string_view key, const QRectF& r) {
        checkFinite(key, r.x());
        checkFinite(key, r.y());
        checkFinite(key, r.width());
        checkFinite(key, r.height());
        w_.key(key);
        w_.raw("[[");
        w_.number(r.x());
        w_.ch(',');
        w_.number(r.y());
        w_.raw("],[");
        w_.number(r.width());
        w_.ch(',');
        w_.number(r.height());
        w_.raw("]]");
    }

    JsonWriter& w_;
    qsizetype index_ = -1;
    QString caseName_;
};

QByteArray collect(const std::function<void(JsonWriter&)>& write) {
    QByteArray bytes;
    JsonWriter writer([&bytes](const char* data, std::size_t size) {
        bytes.append(data, qsizetype(size));
        return true;
    });
    write(writer);
    writer.finish();
    return bytes;
}

} // namespace

QString encodeCanvasState(const CanvasState& state, const JsonWriter::Sink& sink) {
    JsonWriter writer(sink);
    try {
        Encoder(writer).state(state);
    } catch (const EncodeFailure& failure) {
        return failure.message;
    }
    if (!writer.finish()) return QStringLiteral("The document's data could not be written.");
    return QString();
}

Expected<QByteArray> encodeCanvasStateToBytes(const CanvasState& state) {
    try {
        return collect([&](JsonWriter& writer) { Encoder(writer).state(state); });
    } catch (const EncodeFailure& failure) {
        return Expected<QByteArray>::failure(failure.message);
    }
}

Expected<QByteArray> encodeItems(const QList<CanvasItem>& items) {
    try {
        return collect([&](JsonWriter& writer) { Encoder(writer).items(items); });
    } catch (const EncodeFailure& failure) {
        return Expected<QByteArray>::failure(failure.message);
    }
}

} // namespace pintora
