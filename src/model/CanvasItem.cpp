#include "model/CanvasItem.h"

namespace pintora {

namespace {
constexpr std::string_view shapeKindNames[] = {"rect", "ellipse", "arrow", "line", "callout"};
constexpr std::string_view calloutHeadNames[] = {"circle", "rect"};
} // namespace

std::string_view rawValue(ShapeKind kind) {
    return shapeKindNames[int(kind)];
}

std::optional<ShapeKind> shapeKindFromRaw(std::string_view raw) {
    for (ShapeKind kind : allShapeKinds)
        if (rawValue(kind) == raw) return kind;
    return std::nullopt;
}

std::string_view rawValue(CalloutHead head) {
    return calloutHeadNames[int(head)];
}

std::optional<CalloutHead> calloutHeadFromRaw(std::string_view raw) {
    if (raw == calloutHeadNames[0]) return CalloutHead::circle;
    if (raw == calloutHeadNames[1]) return CalloutHead::rect;
    return std::nullopt;
}

ShapeItem makeShape(ShapeKind kind, const QRectF& frame) {
    ShapeItem shape;
    shape.kind = kind;
    shape.frame = frame;
    shape.hasEndHead = kind == ShapeKind::arrow;
    return shape;
}

QUuid CanvasItem::id() const {
    return std::visit([](const auto& item) { return item.id; }, *d_);
}

QRectF CanvasItem::frame() const {
    return std::visit([](const auto& item) { return item.frame; }, *d_);
}

void CanvasItem::setFrame(const QRectF& frame) {
    std::visit([&](auto& item) { item.frame = frame; }, detach());
}

CanvasItem::Payload& CanvasItem::detach() {
    if (d_.use_count() > 1) d_ = std::make_shared<Payload>(*d_);
    return *d_;
}

} // namespace pintora
