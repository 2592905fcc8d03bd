#pragma once

#include "model/TextStyle.h"

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <array>
#include <memory>
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
    QRectF frame{};
    QByteArray pngData{};
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
    QRectF frame{};
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
    QRectF frame{};
    QString string{};
    double fontSize = 20;
    QString colorHex = QStringLiteral("#000000");
    bool wraps = false;
    TextStyle style = TextStyle::plain;

    bool operator==(const TextItem&) const = default;
};

// One thing on the canvas: exactly one of the three payloads. Copies share the payload until
// one of them is changed, so an undo snapshot of many items costs a pointer per item.
class CanvasItem {
public:
    using Payload = std::variant<ImageItem, ShapeItem, TextItem>;

    CanvasItem(ImageItem item) : d_(std::make_shared<Payload>(std::move(item))) {}
    CanvasItem(ShapeItem item) : d_(std::make_shared<Payload>(std::move(item))) {}
    CanvasItem(TextItem item) : d_(std::make_shared<Payload>(std::move(item))) {}

    QUuid id() const;
    QRectF frame() const;
    void setFrame(const QRectF& frame);

    const Payload& payload() const { return *d_; }
    Payload& payload() { return detach(); }

    const ImageItem* image() const { return std::get_if<ImageItem>(d_.get()); }
    const ShapeItem* shape() const { return std::get_if<ShapeItem>(d_.get()); }
    const TextItem* text() const { return std::get_if<TextItem>(d_.get()); }
    ImageItem* image() { return d_->index() == 0 ? std::get_if<ImageItem>(&detach()) : nullptr; }
    ShapeItem* shape() { return d_->index() == 1 ? std::get_if<ShapeItem>(&detach()) : nullptr; }
    TextItem* text() { return d_->index() == 2 ? std::get_if<TextItem>(&detach()) : nullptr; }

    bool operator==(const CanvasItem& other) const { return d_ == other.d_ || *d_ == *other.d_; }

private:
    Payload& detach();

    std::shared_ptr<Payload> d_;
};

} // namespace pintora
