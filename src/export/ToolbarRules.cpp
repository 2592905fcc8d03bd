#include "export/ToolbarRules.h"

#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"

#include <functional>

namespace pintora {

ToolbarConditions toolbarConditions(const CanvasState& state, const Selection& selection,
                                    Tool tool) {
    ToolbarConditions c;
    for (const CanvasItem& item : state.items) {
        if (!selection.contains(item.id())) {
            continue;
        }
        if (item.shape()) {
            c.hasSelectedShape = true;
            c.hasSelectedFreeformColorable = true;
        } else if (const TextItem* text = item.text()) {
            c.hasSelectedText = true;
            if (!isCard(text->style)) c.hasSelectedFreeformColorable = true;
        }
    }
    const bool textTool = tool == Tool::text || tool == Tool::note;
    c.textColorActive = !c.hasSelectedShape && (c.hasSelectedText || textTool);
    c.showsColorPicker = c.hasSelectedFreeformColorable || isShapeTool(tool) || tool == Tool::text;
    c.showsLineWidth = isShapeTool(tool) || c.hasSelectedShape;
    c.showsFontSize = textTool || c.hasSelectedText;
    c.showsNoteStyle = tool == Tool::note;
    auto flag = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    c.colorPickerKey = QStringList{QString::fromLatin1(infoOf(tool).id), flag(c.hasSelectedShape),
                                   flag(c.hasSelectedText), flag(c.textColorActive)}
                           .join(QLatin1Char('|'));
    return c;
}

QString toolbarColor(const ToolbarConditions& conditions, const UserDefaults& defaults) {
    return conditions.textColorActive ? defaults.defaultTextHex() : defaults.defaultStrokeHex();
}

void changeColor(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                 const ToolbarConditions& conditions, UserDefaults& defaults, const QString& hex) {
    if (conditions.textColorActive) {
        defaults.setDefaultTextHex(hex);
    } else {
        defaults.setDefaultStrokeHex(hex);
    }
    if (selection.isEmpty()) {
        return;
    }
    document.apply(stack, actionName::changeColor, [&](CanvasState& state) {
        for (CanvasItem& item : state.items) {
            if (!selection.contains(item.id())) continue;
            if (ShapeItem* shape = item.shape()) {
                shape->strokeHex = hex;
            } else if (TextItem* text = item.text()) {
                text->colorHex = hex;
            }
        }
    });
}

namespace {

// A slider's value becomes the document's default at once (no step) and, with a selection,
// the value of every selected item it applies to, in one step.
template <typename Payload>
void changeDefaultAndSelection(PintoraDocument& document, QUndoStack* stack,
                               const Selection& selection, const QString& actionName,
                               const std::function<void(CanvasState&)>& setDefault,
                               const std::function<void(Payload&)>& setItem) {
    CanvasState state = document.state();
    setDefault(state);
    document.setState(std::move(state));
    if (selection.isEmpty()) {
        return;
    }
    document.apply(stack, actionName, [&](CanvasState& s) {
        for (CanvasItem& item : s.items) {
            if (!selection.contains(item.id())) continue;
            if (auto* payload = std::get_if<Payload>(&item.payload())) setItem(*payload);
        }
    });
}

} // namespace

void changeWidth(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                 double width) {
    changeDefaultAndSelection<ShapeItem>(
        document, stack, selection, actionName::changeWidth,
        [&](CanvasState& s) { s.defaultLineWidth = width; },
        [&](ShapeItem& shape) { shape.lineWidth = width; });
}

void changeFontSize(PintoraDocument& document, QUndoStack* stack, const Selection& selection,
                    double size) {
    changeDefaultAndSelection<TextItem>(
        document, stack, selection, actionName::changeSize,
        [&](CanvasState& s) { s.defaultFontSize = size; },
        [&](TextItem& text) { text.fontSize = size; });
}

void setDefaultNoteStyle(PintoraDocument& document, TextStyle style) {
    CanvasState state = document.state();
    state.defaultNoteStyle = style;
    document.setState(std::move(state));
}

namespace {

// FNV-1a over the fields, finished with a strong mix so that nearby inputs spread apart.
class TokenHasher {
public:
    void add(const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            h_ = (h_ ^ bytes[i]) * 0x100000001b3ULL;
        }
    }
    void add(double v) {
        if (v == 0) v = 0; // -0 and +0 draw alike
        add(&v, sizeof v);
    }
    void add(qint64 v) { add(&v, sizeof v); }
    void add(bool v) { add(qint64(v ? 1 : 0)); }
    void add(const QString& s) {
        add(qint64(s.size()));
        add(s.constData(), size_t(s.size()) * sizeof(QChar));
    }
    void add(const QUuid& id) {
        const QByteArray raw = id.toRfc4122();
        add(raw.constData(), size_t(raw.size()));
    }
    void add(const QRectF& r) {
        add(r.x());
        add(r.y());
        add(r.width());
        add(r.height());
    }
    quint64 result() const {
        quint64 z = h_ + 0x9e3779b97f4a7c15ULL;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

private:
    quint64 h_ = 0xcbf29ce484222325ULL;
};

} // namespace

quint64 thumbContentToken(const CanvasState& state) {
    TokenHasher hasher;
    hasher.add(qint64(state.items.size()));
    for (const CanvasItem& item : state.items) {
        hasher.add(item.id());
        hasher.add(item.frame());
        if (const TextItem* text = item.text()) {
            hasher.add(text->string);
            hasher.add(text->fontSize);
            hasher.add(text->colorHex);
            hasher.add(text->wraps);
            hasher.add(qint64(text->style));
        } else if (const ShapeItem* shape = item.shape()) {
            hasher.add(shape->strokeHex);
            hasher.add(shape->lineWidth);
            hasher.add(shape->filled);
            hasher.add(qint64(shape->kind));
            hasher.add(shape->hasStartHead);
            hasher.add(shape->hasEndHead);
            hasher.add(qint64(shape->calloutHead));
            hasher.add(shape->calloutSize);
        } else if (const ImageItem* image = item.image()) {
            hasher.add(image->cropRect);
        }
    }
    return hasher.result();
}

} // namespace pintora
