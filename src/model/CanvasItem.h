#pragma once

#include "model/TextStyle.h"

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <array>
#include <optional>
#include <string_view>
#include <variant>

namespace pintora {

inline QUuid newId() {
    return QUuid::createUuid();
}

// A picture on the canvas; pngData is the complete PNG file, shared between copies.
struct ImageItem {
    QUuid id = newId();
    QRectF frame;
    QByteArray pngData;
    QRectF cropRect{0, 0, 1, 1}; // visible part, as fractions of the picture's size

    bool operator==(const ImageItem&) const = default;
};

enum class ShapeKind { rect, ellipse, arrow, line, callout };
inline constexpr std::array<ShapeKind, 5> allShapeKinds{
    ShapeKind::rect, ShapeKind::ellipse, ShapeKind::arrow, ShapeKind::line, ShapeKind::callout};
std::string_view rawValue(ShapeKind kind);
std::optional<ShapeKind> shapeKindFromRaw(std::string_view raw);

enum class CalloutHead { circle, rect };
std::string_view rawValue(CalloutHead head);
std::optional<CalloutHead> calloutHeadFromRaw(std::string_view raw);

struct ShapeItem {
    static constexpr double calloutAspect = 0.55;

    QUuid id = newId();
    ShapeKind kind = ShapeKind::rect;
    QRectF frame;
    QString strokeHex = QStringLiteral("#FF3B30");
    double lineWidth = 3;
    bool filled = false;
    bool hasStartHead = false;
    bool hasEndHead = false; // a new arrow gets true: see makeShape
    CalloutHead calloutHead = CalloutHead::circle;
    double calloutSize = 80;

    double calloutHeadWidth() const { return calloutSize; }
    double calloutHeadHeight() const { return calloutSize * calloutAspect; }

    bool operator==(const ShapeItem&) const = default;
};

// A shape of the given kind with every other field at its default (an arrow has its end head).
ShapeItem makeShape(ShapeKind kind, const QRectF& frame);

struct TextItem {
    QUuid id = newId();
    QRectF frame;
    QString string;
    double fontSize = 20;
    QString colorHex = QStringLiteral("#000000");
    bool wraps = false;
    TextStyle style = TextStyle::plain;

    bool operator==(const TextItem&) const = default;
};

// One thing on the canvas: exactly one of the three payloads.
class CanvasItem {
public:
    using Payload = std::variant<ImageItem, ShapeItem, TextItem>;

    CanvasItem(ImageItem item) : payload_(std::move(item)) {}
    CanvasItem(ShapeItem item) : payload_(std::move(item)) {}
    CanvasItem(TextItem item) : payload_(std::move(item)) {}

    QUuid id() const;
    QRectF frame() const;
    void setFrame(const QRectF& frame);

    const Payload& payload() const { return payload_; }
    Payload& payload() { return payload_; }

    const ImageItem* image() const { return std::get_if<ImageItem>(&payload_); }
    const ShapeItem* shape() const { return std::get_if<ShapeItem>(&payload_); }
    const TextItem* text() const { return std::get_if<TextItem>(&payload_); }
    ImageItem* image() { return std::get_if<ImageItem>(&payload_); }
    ShapeItem* shape() { return std::get_if<ShapeItem>(&payload_); }
    TextItem* text() { return std::get_if<TextItem>(&payload_); }

    bool operator==(const CanvasItem&) const = default;

private:
    Payload payload_;
};

} // namespace pintora
