#include "canvas/ItemPainter.h"

#include "canvas/TextMetrics.h"
#include "model/Geometry.h"
#include "model/HexColor.h"
#include "shapes/ShapeGeometry.h"

#include <QPainterPath>
#include <QTextOption>
#include <algorithm>

namespace pintora {

QColor shapeColor(const ShapeItem& shape) {
    return colorFromHex(shape.strokeHex).value_or(fallbackShapeColor);
}

QColor textColor(const TextItem& text) {
    return colorFromHex(text.colorHex).value_or(QColor(Qt::black));
}

double cardStripeWidth(double fontSize) {
    return std::max(0.18 * fontSize, 6.0);
}

double cardPadding(double fontSize) {
    return std::max(0.4 * fontSize, 10.0);
}

namespace {

QPen strokePen(const QColor& color, double width, Qt::PenCapStyle cap, Qt::PenJoinStyle join) {
    QPen pen(color, width, Qt::SolidLine, cap, join);
    pen.setMiterLimit(10);
    return pen;
}

// A rectangle or ellipse outline, filled or stroked. On the canvas the stroke lies inside
// the box; in the export it is centred on the box's edge.
void paintBox(QPainter& painter, ShapeKind kind, const QRectF& box, const QColor& color,
              double lineWidth, bool filled, PaintTarget target) {
    if (filled) {
        painter.fillPath(boxOutline(kind, box), color);
        return;
    }
    QRectF path = box;
    if (target == PaintTarget::canvas) {
        // Inset by half the width, but never past the middle of the box.
        const double dx = std::min(lineWidth / 2, box.width() / 2);
        const double dy = std::min(lineWidth / 2, box.height() / 2);
        path = box.adjusted(dx, dy, -dx, -dy);
    }
    painter.strokePath(boxOutline(kind, path),
                       strokePen(color, lineWidth, Qt::FlatCap, Qt::MiterJoin));
}

// Qt drops a line to the point it starts from, so a shaft shrunk to nothing would vanish;
// with round caps it is a dot.
void strokeOpenPath(QPainter& painter, const QPainterPath& path, const QPen& pen) {
    if (path.elementCount() < 2) {
        painter.setPen(pen);
        painter.drawPoint(path.currentPosition());
        painter.setPen(Qt::NoPen);
        return;
    }
    painter.strokePath(path, pen);
}

void paintHead(QPainter& painter, const QPainterPath& head, const QColor& color, double lineWidth) {
    painter.fillPath(head, color);
    painter.strokePath(head, strokePen(color, lineWidth, Qt::RoundCap, Qt::RoundJoin));
}

} // namespace

void paintShape(QPainter& painter, const ShapeItem& shape, PaintTarget target) {
    const QColor color = shapeColor(shape);
    const double lw = shape.lineWidth;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isLinear(shape.kind)) {
        paintBox(painter, shape.kind, standardized(shape.frame), color, lw, shape.filled, target);
        painter.restore();
        return;
    }
    const EndPoints ends = canvasEndPoints(shape.frame);
    const QPen line = strokePen(color, lw, Qt::RoundCap, Qt::MiterJoin);
    if (shape.kind == ShapeKind::callout) {
        strokeOpenPath(painter, calloutPointer(shape, ends.start, ends.end), line);
        const ShapeKind headKind =
            shape.calloutHead == CalloutHead::circle ? ShapeKind::ellipse : ShapeKind::rect;
        paintBox(painter, headKind, calloutHeadBox(shape, ends.end), color, lw, shape.filled,
                 target);
    } else {
        strokeOpenPath(painter,
                       linearBody(ends.start, ends.end, lw, shape.hasStartHead, shape.hasEndHead),
                       line);
        if (shape.hasEndHead) {
            paintHead(painter, arrowHead(ends.start, ends.end, lw), color, lw);
        }
        if (shape.hasStartHead) {
            paintHead(painter, arrowHead(ends.end, ends.start, lw), color, lw);
        }
    }
    painter.restore();
}

QRectF exportedExtent(const CanvasItem& item) {
    const QRectF frame = standardized(item.frame());
    const ShapeItem* shape = item.shape();
    if (!shape) return frame;
    // Strokes are centred on their path in an export; caps and joins at the heads are round.
    const double half = shape->lineWidth / 2;
    const auto inked = [half](const QRectF& box) { return box.adjusted(-half, -half, half, half); };
    if (!isLinear(shape->kind)) return shape->filled ? frame : inked(frame);
    const EndPoints ends = canvasEndPoints(shape->frame);
    QRectF extent = inked(frame);
    if (shape->kind == ShapeKind::callout) {
        const QRectF head = calloutHeadBox(*shape, ends.end);
        return joined(extent, shape->filled ? head : inked(head));
    }
    if (shape->hasEndHead)
        extent =
            joined(extent, inked(arrowHead(ends.start, ends.end, shape->lineWidth).boundingRect()));
    if (shape->hasStartHead)
        extent =
            joined(extent, inked(arrowHead(ends.end, ends.start, shape->lineWidth).boundingRect()));
    return extent;
}

namespace {

void drawString(QPainter& painter, const QRectF& area, const TextItem& text, bool wrap) {
    if (area.width() <= 0 || area.height() <= 0 || text.string.isEmpty()) {
        return;
    }
    painter.setFont(itemFont(text.fontSize));
    painter.setPen(textColor(text));
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(wrap ? textWrapMode : QTextOption::NoWrap);
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.drawText(area, text.string, option);
    painter.restore();
}

// A soft shadow under a card: a few widening translucent layers stand in for a blur.
void paintCardShadow(QPainter& painter, const QRectF& card, double blur) {
    constexpr int layers = 4;
    const QColor base(0, 0, 0);
    for (int i = layers; i >= 1; --i) {
        const double grow = blur * i / layers;
        QColor c = base;
        c.setAlphaF(0.15 / layers);
        painter.setPen(Qt::NoPen);
        painter.setBrush(c);
        painter.drawRoundedRect(
            card.translated(0, 2).adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2), grow / 2,
            grow / 2);
    }
}

} // namespace

QRectF textArea(const TextItem& text) {
    const QRectF frame = standardized(text.frame);
    if (!isCard(text.style)) return frame.adjusted(textInset, textInset, -textInset, -textInset);
    const double stripe = cardStripeWidth(text.fontSize);
    const double pad = cardPadding(text.fontSize);
    return {frame.left() + stripe + pad, frame.top() + pad,
            std::max(frame.width() - stripe - 2 * pad, 0.0),
            std::max(frame.height() - 2 * pad, 0.0)};
}

void paintText(QPainter& painter, const TextItem& text, PaintTarget target) {
    const QRectF frame = standardized(text.frame);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!isCard(text.style)) {
        // On the canvas plain text always wraps at its box; the export honours `wraps` and
        // clips a line that does not fit.
        const bool wrap = target == PaintTarget::canvas || text.wraps;
        drawString(painter, textArea(text), text, wrap);
        painter.restore();
        return;
    }
    const TextStyleLook& look = lookOf(text.style);
    const double stripe = cardStripeWidth(text.fontSize);
    paintCardShadow(painter, frame, target == PaintTarget::canvas ? 4 : 6);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(
        frame, colorFromHex(QString::fromLatin1(look.backgroundHex)).value_or(QColor(Qt::white)));
    painter.fillRect(QRectF(frame.left(), frame.top(), stripe, frame.height()),
                     colorFromHex(QString::fromLatin1(look.borderHex)).value_or(QColor(Qt::gray)));
    drawString(painter, textArea(text), text, true);
    painter.restore();
}

QRectF cropSourceRect(const QRectF& crop, QSize size, bool clamp) {
    QRectF c = crop;
    if (clamp) {
        c = QRectF(std::clamp(crop.x(), 0.0, 1.0), std::clamp(crop.y(), 0.0, 1.0),
                   std::clamp(crop.width(), 0.001, 1.0), std::clamp(crop.height(), 0.001, 1.0));
    }
    return {c.x() * size.width(), c.y() * size.height(), c.width() * size.width(),
            c.height() * size.height()};
}

void paintPicture(QPainter& painter, const ImageItem& image, const QImage& picture,
                  PaintTarget target) {
    if (picture.isNull()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(
        standardized(image.frame), picture,
        cropSourceRect(image.cropRect, picture.size(), target == PaintTarget::canvas));
    painter.restore();
}

void paintItem(QPainter& painter, const CanvasItem& item, const QImage& picture,
               PaintTarget target) {
    if (const ImageItem* image = item.image()) {
        paintPicture(painter, *image, picture, target);
    } else if (const ShapeItem* shape = item.shape()) {
        paintShape(painter, *shape, target);
    } else if (const TextItem* text = item.text()) {
        paintText(painter, *text, target);
    }
}

} // namespace pintora
