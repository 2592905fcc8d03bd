// Reading documents and item lists with simdjson's on-demand parser: the Base64 of pictures is
// decoded straight from the file's bytes, never copied out as strings first.
#include "model/Base64.h"
#include "model/DocumentCodec.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <simdjson.h>
#include <string>
#include <vector>

namespace pintora {

namespace sj = simdjson::ondemand;
static_assert(jsonReadPadding == simdjson::SIMDJSON_PADDING);
static_assert(maxJsonSize == simdjson::SIMDJSON_MAXSIZE_BYTES);

namespace {

// Unknown members are still checked for well-formed JSON, down to this depth.
constexpr int maxNesting = 512;

struct DecodeFailure {
    std::string path;
    std::string message;
};

class Decoder {
public:
    Decoder(const char* jsonEnd, QString newTabURL)
        : jsonEnd_(jsonEnd), newTabURL_(std::move(newTabURL)) {}

    CanvasState state(sj::document& doc);
    QList<CanvasItem> itemList(sj::document& doc);

private:
    // Names the member being read, for the message of a failure inside it.
    class Scope {
    public:
        Scope(Decoder& d, std::string name) : d_(d) { d_.path_.push_back(std::move(name)); }
        ~Scope() { d_.path_.pop_back(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Decoder& d_;
    };

    [[noreturn]] void fail(std::string message) const {
        std::string path;
        for (const auto& part : path_) {
            if (!path.empty() && part.front() != '[') path += '.';
            path += part;
        }
        throw DecodeFailure{std::move(path), std::move(message)};
    }

    [[noreturn]] void failJson(simdjson::error_code error, const char* expected) const {
        switch (error) {
        case simdjson::INCORRECT_TYPE:
            fail(std::string("expected ") + expected);
        case simdjson::NUMBER_ERROR:
        case simdjson::NUMBER_OUT_OF_RANGE:
            fail("number out of range");
        default:
            fail(std::string("malformed JSON (") + simdjson::error_message(error) + ")");
        }
    }

    template <class T> T take(simdjson::simdjson_result<T>&& result, const char* expected) {
        T value;
        if (const auto error = std::move(result).get(value)) failJson(error, expected);
        return value;
    }

    // True when the member is JSON null: absent and null members take their defaults.
    bool isNull(sj::value& v) { return take(v.is_null(), "a value"); }

    std::string_view keyOf(sj::field& field) { return take(field.unescaped_key(), "a key"); }

    template <class Body> void eachField(sj::value v, const char* what, Body body) {
        sj::object object = take(v.get_object(), what);
        for (auto result : object) {
            sj::field field = take(std::move(result), "a member");
            const std::string_view key = keyOf(field);
            body(key, field.value());
        }
    }

    template <class Body> void eachElement(sj::value v, const char* what, Body body) {
        sj::array array = take(v.get_array(), what);
        std::size_t index = 0;
        for (auto result : array) {
            sj::value element = take(std::move(result), "a value");
            Scope scope(*this, "[" + std::to_string(index) + "]");
            body(index++, element);
        }
    }

    double number(sj::value v) { return take(v.get_double(), "a number"); }
    bool boolean(sj::value v) { return take(v.get_bool(), "true or false"); }
    std::string_view text(sj::value v) { return take(v.get_string(), "a string"); }
    QString string(sj::value v) {
        const std::string_view s = text(v);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }

    // Any whole number, also as other writers put it ("2.0", "2e0").
    qint64 integer(sj::value v) {
        double value;
        if (const auto error = v.get_double().get(value)) {
            if (error == simdjson::INCORRECT_TYPE || error == simdjson::NUMBER_ERROR)
                fail("expected an integer");
            failJson(error, "an integer");
        }
        if (value != std::trunc(value) || std::abs(value) > 9007199254740992.0)
            fail("expected an integer");
        return qint64(value);
    }

    QUuid uuid(sj::value v) {
        const std::string_view s = text(v);
        bool wellFormed = s.size() == 36;
        for (std::size_t i = 0; wellFormed && i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
            wellFormed = dash ? c == '-' : std::isxdigit(c) != 0;
        }
        if (!wellFormed) fail("\"" + std::string(s) + "\" is not a UUID");
        return QUuid::fromString(QLatin1StringView(s.data(), qsizetype(s.size())));
    }

    QRectF rect(sj::value v) {
        static constexpr const char* shape = "a rectangle [[x, y], [width, height]]";
        double numbers[4];
        std::size_t pairs = 0;
        sj::array outer = take(v.get_array(), shape);
        for (auto pairResult : outer) {
            sj::value pairValue = take(std::move(pairResult), shape);
            if (pairs == 2) fail(std::string("expected ") + shape);
            sj::array pair = take(pairValue.get_array(), shape);
            std::size_t count = 0;
            for (auto numberResult : pair) {
                sj::value n = take(std::move(numberResult), shape);
                if (count == 2) fail(std::string("expected ") + shape);
                numbers[pairs * 2 + count++] = take(n.get_double(), shape);
            }
            if (count != 2) fail(std::string("expected ") + shape);
            ++pairs;
        }
        if (pairs != 2) fail(std::string("expected ") + shape);
        return QRectF(numbers[0], numbers[1], numbers[2], numbers[3]);
    }

    QByteArray pictureBytes(sj::value v) {
        const sj::raw_json_string raw = take(v.get_raw_json_string(), "a Base64 string");
        const char* begin = raw.raw();
        // The parser has checked that the string is closed; its first quote is the end unless
        // escaped, and an escaped quote is no Base64 digit anyway.
        const char* end =
            static_cast<const char*>(std::memchr(begin, '"', std::size_t(jsonEnd_ - begin)));
        QByteArray bytes;
        if (!end || !decodeBase64JsonText(begin, end, bytes)) fail("not valid Base64");
        return bytes;
    }

    template <class Enum, class FromRaw>
    Enum enumeration(sj::value v, FromRaw fromRaw, const char* what) {
        const std::string_view raw = text(v);
        if (const auto value = fromRaw(raw)) return *value;
        fail("\"" + std::string(raw) + "\" is not " + what);
    }

    // Checks that a member we do not use is well-formed JSON, and nothing more.
    void validate(sj::value v, int depth) {
        if (depth > maxNesting)
            fail("nested deeper than " + std::to_string(maxNesting) + " levels");
        switch (take(v.type(), "a value")) {
        case sj::json_type::array:
            for (auto element : take(v.get_array(), "an array"))
                validate(take(std::move(element), "a value"), depth + 1);
            break;
        case sj::json_type::object:
            for (auto result : take(v.get_object(), "an object")) {
                sj::field field = take(std::move(result), "a member");
                keyOf(field);
                validate(field.value(), depth + 1);
            }
            break;
        case sj::json_type::number:
            take(v.get_number(), "a number");
            break;
        case sj::json_type::string:
            text(v);
            break;
        case sj::json_type::boolean:
            boolean(v);
            break;
        case sj::json_type::null:
            if (!isNull(v)) fail("malformed JSON (expected null)");
            break;
        }
    }

    void failOnTrailingContent(sj::document& doc) {
        const char* location = nullptr;
        if (doc.current_location().get(location) != simdjson::OUT_OF_BOUNDS)
            fail("malformed JSON (content after the end)");
    }

    void requireAll(const std::initializer_list<std::pair<bool, const char*>>& members) {
        for (const auto& [present, name] : members)
            if (!present) fail(std::string("missing required member \"") + name + "\"");
    }

    ImageItem imageItem(sj::value v);
    ShapeItem shapeItem(sj::value v);
    TextItem textItem(sj::value v);
    CanvasItem item(sj::value v);
    template <class Payload> Payload wrapped(sj::value v, Payload (Decoder::*read)(sj::value));
    BrowserTab browserTab(sj::value v);
    QList<CanvasItem> items(sj::value v);

    const char* jsonEnd_;
    QString newTabURL_;
    std::vector<std::string> path_;
};

ImageItem Decoder::imageItem(sj::value v) {
    ImageItem image;
    bool hasFrame = false, hasPicture = false;
    eachField(v, "an image object", [&](std::string_view key, sj::value value) {
        Scope scope(*this, std::string(key));
        if (isNull(value)) return; // null is absent: the default stays
        if (key == "id")
            image.id = uuid(value);
        else if (key == "frame")
            image.frame = rect(value), hasFrame = true;
        else if (key == "pngData")
            image.pngData = pictureBytes(value), hasPicture = true;
        else if (key == "cropRect")
            image.cropRect = rect(value);
        else
            validate(value, int(path_.size()));
    });
    requireAll({{hasFrame, "frame"}, {hasPicture, "pngData"}});
    return image;
}

ShapeItem Decoder::shapeItem(sj::value v) {
    ShapeItem shape;
    bool hasFrame = false, hasKind = false;
    std::optional<bool> endHead;
    eachField(v, "a shape object", [&](std::string_view key, sj::value value) {
        Scope scope(*this, std::string(key));
        if (isNull(value)) return; // null is absent: the default stays
        if (key == "id")
            shape.id = uuid(value);
        else if (key == "kind")
            shape.kind = enumeration<ShapeKind>(value, shapeKindFromRaw, "a shape kind"),
            hasKind = true;
        else if (key == "frame")
            shape.frame = rect(value), hasFrame = true;
        else if (key == "strokeHex")
            shape.strokeHex = string(value);
        else if (key == "lineWidth")
            shape.lineWidth = number(value);
        else if (key == "filled")
            shape.filled = boolean(value);
        else if (key == "hasStartHead")
            shape.hasStartHead = boolean(value);
        else if (key == "hasEndHead")
            endHead = boolean(value);
        else if (key == "calloutHead")
            shape.calloutHead =
                enumeration<CalloutHead>(value, calloutHeadFromRaw, "a callout head");
        else if (key == "calloutSize")
            shape.calloutSize = number(value);
        else
            validate(value, int(path_.size()));
    });
    requireAll({{hasKind, "kind"}, {hasFrame, "frame"}});
    // Without the member, only arrows have an end head.
    shape.hasEndHead = endHead.value_or(shape.kind == ShapeKind::arrow);
    return shape;
}

TextItem Decoder::textItem(sj::value v) {
    TextItem text;
    bool hasFrame = false;
    eachField(v, "a text object", [&](std::string_view key, sj::value value) {
        Scope scope(*this, std::string(key));
        if (isNull(value)) return;
        if (key == "id")
            text.id = uuid(value);
        else if (key == "frame")
            text.frame = rect(value), hasFrame = true;
        else if (key == "string")
            text.string = string(value);
        else if (key == "fontSize")
            text.fontSize = number(value);
        else if (key == "colorHex")
            text.colorHex = string(value);
        else if (key == "wraps")
            text.wraps = boolean(value);
        else if (key == "style")
            text.style = enumeration<TextStyle>(value, textStyleFromRaw, "a text style");
        else
            validate(value, int(path_.size()));
    });
    requireAll({{hasFrame, "frame"}});
    return text;
}

// The payload stands under "_0" in an object of its own.
template <class Payload>
Payload Decoder::wrapped(sj::value v, Payload (Decoder::*read)(sj::value)) {
    std::optional<Payload> payload;
    eachField(v, "an object", [&](std::string_view key, sj::value value) {
        Scope scope(*this, std::string(key));
        if (key == "_0" && !payload)
            payload = (this->*read)(value);
        else
            validate(value, int(path_.size()));
    });
    if (!payload) fail("missing required member \"_0\"");
    return std::move(*payload);
}

CanvasItem Decoder::item(sj::value v) {
    auto isCase = [](std::string_view key) {
        return key == "image" || key == "shape" || key == "text";
    };
    sj::object object = take(v.get_object(), "an item object");
    // First count the case names, then read the one payload.
    int cases = 0;
    for (auto result : object) {
        sj::field field = take(std::move(result), "a member");
        cases += isCase(keyOf(field));
    }
    if (cases != 1) fail("Invalid number of keys found, expected one.");
    take(object.reset(), "an item object");

    QList<CanvasItem> found; // exactly one, as counted above
    for (auto result : object) {
        sj::field field = take(std::move(result), "a member");
        const std::string_view key = keyOf(field);
        Scope scope(*this, std::string(key));
        if (key == "image")
            found.append(wrapped(field.value(), &Decoder::imageItem));
        else if (key == "shape")
            found.append(wrapped(field.value(), &Decoder::shapeItem));
        else if (key == "text")
            found.append(wrapped(field.value(), &Decoder::textItem));
        else
            validate(field.value(), int(path_.size()));
    }
    return found.front();
}

BrowserTab Decoder::browserTab(sj::value v) {
    BrowserTab tab;
    bool hasId = false, hasURL = false, hasTitle = false;
    eachField(v, "a tab object", [&](std::string_view key, sj::value value) {
        Scope scope(*this, std::string(key));
        if (isNull(value)) return;
        if (key == "id")
            tab.id = uuid(value), hasId = true;
        else if (key == "url")
            tab.url = string(value), hasURL = true;
        else if (key == "title")
            tab.title = string(value), hasTitle = true;
        else
            validate(value, int(path_.size()));
    });
    requireAll({{hasId, "id"}, {hasURL, "url"}, {hasTitle, "title"}});
    return tab;
}

QList<CanvasItem> Decoder::items(sj::value v) {
    QList<CanvasItem> items;
    eachElement(v, "an array of items",
                [&](std::size_t, sj::value element) { items.append(item(element)); });
    return items;
}

CanvasState Decoder::state(sj::document& doc) {
    CanvasState state;
    bool hasTabs = false;
    sj::object root = take(doc.get_object(), "a JSON object");
    for (auto result : root) {
        sj::field field = take(std::move(result), "a member");
        const std::string_view key = keyOf(field);
        sj::value value = field.value();
        Scope scope(*this, std::string(key));
        if (isNull(value)) continue;
        if (key == "items") {
            state.items = items(value);
        } else if (key == "zoom") {
            state.zoom = number(value);
        } else if (key == "panX") {
            state.panX = number(value);
        } else if (key == "panY") {
            state.panY = number(value);
        } else if (key == "tabs") {
            state.tabs.clear();
            eachElement(value, "an array of tabs",
                        [&](std::size_t, sj::value tab) { state.tabs.append(browserTab(tab)); });
            hasTabs = true;
        } else if (key == "activeTabIndex") {
            state.activeTabIndex = integer(value);
        } else if (key == "defaultLineWidth") {
            state.defaultLineWidth = number(value);
        } else if (key == "defaultFontSize") {
            state.defaultFontSize = number(value);
        } else if (key == "defaultNoteStyle") {
            state.defaultNoteStyle =
                enumeration<TextStyle>(value, textStyleFromRaw, "a text style");
        } else if (key == "lastActiveTabRaw") {
            state.lastActiveTabRaw = string(value);
        } else {
            validate(value, 1);
        }
    }
    failOnTrailingContent(doc);
    if (!hasTabs) state.tabs.append(BrowserTab::withURL(newTabURL_));
    return state;
}

QList<CanvasItem> Decoder::itemList(sj::document& doc) {
    QList<CanvasItem> list;
    sj::array array = take(doc.get_array(), "a JSON array of items");
    std::size_t index = 0;
    for (auto result : array) {
        Scope scope(*this, "[" + std::to_string(index++) + "]");
        list.append(item(take(std::move(result), "an item object")));
    }
    failOnTrailingContent(doc);
    return list;
}

QString describe(const DecodeFailure& failure) {
    const QString message = QString::fromStdString(failure.message);
    return failure.path.empty()
               ? message
               : QString::fromStdString(failure.path) + QStringLiteral(": ") + message;
}

// Runs a read and turns every failure into a message.
template <class T, class Read>
Expected<T> parse(const char* json, std::size_t size, std::size_t capacity, Read read) {
    // A byte-order mark, as some editors write, is no part of the text.
    if (size >= 3 && std::memcmp(json, "\xEF\xBB\xBF", 3) == 0) {
        json += 3;
        size -= 3;
        capacity -= 3;
    }
    if (size == 0) return Expected<T>::failure(QStringLiteral("The file is empty."));
    if (size > maxJsonSize) return Expected<T>::failure(tooLargeMessage);
    sj::parser parser;
    auto result = parser.iterate(simdjson::padded_string_view(json, size, capacity));
    sj::document doc;
    if (const auto error = std::move(result).get(doc)) {
        if (error == simdjson::UTF8_ERROR)
            return Expected<T>::failure(QStringLiteral("The file is not valid UTF-8 text."));
        return Expected<T>::failure(QStringLiteral("The file is not valid JSON (%1).")
                                        .arg(QString::fromUtf8(simdjson::error_message(error))));
    }
    try {
        return read(doc);
    } catch (const DecodeFailure& failure) {
        return Expected<T>::failure(describe(failure));
    }
}

} // namespace

Expected<CanvasState> decodeCanvasState(const char* json, std::size_t size, std::size_t capacity,
                                        const QString& newTabURL) {
    return parse<CanvasState>(json, size, capacity, [&](sj::document& doc) {
        return Decoder(json + size, newTabURL).state(doc);
    });
}

Expected<CanvasState> decodeCanvasState(QByteArrayView json, const QString& newTabURL) {
    const simdjson::padded_string padded(json.data(), std::size_t(json.size()));
    return decodeCanvasState(padded.data(), padded.size(), padded.size() + jsonReadPadding,
                             newTabURL);
}

Expected<QList<CanvasItem>> decodeItems(QByteArrayView json) {
    const simdjson::padded_string padded(json.data(), std::size_t(json.size()));
    return parse<QList<CanvasItem>>(
        padded.data(), padded.size(), padded.size() + jsonReadPadding, [&](sj::document& doc) {
            return Decoder(padded.data() + padded.size(), QString()).itemList(doc);
        });
}

} // namespace pintora
