#include "shapes/ShapeGeometry.h"

#include "model/Geometry.h"

#include <algorithm>
#include <cmath>

namespace pintora {

EndPoints canvasEndPoints(const QRectF& frame) {
    return {frame.topLeft(), frame.topLeft() + QPointF(frame.width(), frame.height())};
}

SegmentMetrics segmentMetrics(QPointF start, QPointF end, double lineWidth) {
    SegmentMetrics m;
    m.delta = end - start;
    m.length = std::max(std::hypot(m.delta.x(), m.delta.y()), 0.0001);
    m.unit = m.delta / m.length;
    m.head = std::max(4 * lineWidth, 12.0);
    m.inset = std::min(m.length, 0.7 * m.head);
    return m;
}

QPainterPath linearBody(QPointF start, QPointF end, double lineWidth, bool hasStartHead,
                        bool hasEndHead) {
    const SegmentMetrics m = segmentMetrics(start, end, lineWidth);
    QPainterPath path;
    path.moveTo(start + m.unit * (hasStartHead ? m.inset : 0));
    path.lineTo(end - m.unit * (hasEndHead ? m.inset : 0));
    return path;
}

QPainterPath arrowHead(QPointF from, QPointF tip, double lineWidth) {
    const double head = std::max(4 * lineWidth, 12.0);
    const QPointF d = tip - from;
    const double theta = std::atan2(d.y(), d.x());
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip -
                head * QPointF(std::cos(theta - headHalfAngle), std::sin(theta - headHalfAngle)));
    path.lineTo(tip -
                head * QPointF(std::cos(theta + headHalfAngle), std::sin(theta + headHalfAngle)));
    path.closeSubpath();
    return path;
}

double calloutHeadDistance(QPointF unit, double length, CalloutHead head, double halfWidth,
                           double halfHeight) {
    double r = 0;
    if (head == CalloutHead::rect) {
        const double ax = std::abs(unit.x());
        const double ay = std::abs(unit.y());
        if (ax < 0.000001) {
            r = halfHeight;
        } else if (ay < 0.000001) {
            r = halfWidth;
        } else {
            r = std::min(halfWidth / ax, halfHeight / ay);
        }
    } else {
        const double a = std::max(halfWidth, 0.0001);
        const double b = std::max(halfHeight, 0.0001);
        const double q = std::pow(unit.x() / a, 2) + std::pow(unit.y() / b, 2);
        r = q > 0 ? 1 / std::sqrt(q) : halfWidth;
    }
    return std::min(r, length);
}

QRectF calloutHeadBox(const ShapeItem& shape, QPointF end) {
    const double w = shape.calloutHeadWidth();
    const double h = shape.calloutHeadHeight();
    return {end.x() - w / 2, end.y() - h / 2, w, h};
}

QPainterPath calloutPointer(const ShapeItem& shape, QPointF start, QPointF end) {
    const SegmentMetrics m = segmentMetrics(start, end, shape.lineWidth);
    const double r =
        calloutHeadDistance(m.unit, m.length, shape.calloutHead, shape.calloutHeadWidth() / 2,
                            shape.calloutHeadHeight() / 2);
    QPainterPath path;
    path.moveTo(start);
    path.lineTo(end - m.unit * r);
    return path;
}

QPainterPath calloutHeadOutline(const ShapeItem& shape, QPointF end) {
    return boxOutline(shape.calloutHead == CalloutHead::circle ? ShapeKind::ellipse
                                                               : ShapeKind::rect,
                      calloutHeadBox(shape, end));
}

QPainterPath boxOutline(ShapeKind kind, const QRectF& box) {
    QPainterPath path;
    if (kind == ShapeKind::ellipse) {
        path.addEllipse(box);
    } else {
        path.addRect(box);
    }
    return path;
}

QPainterPath lineHitShape(QPointF start, QPointF end, double halfWidth) {
    const QPointF d = end - start;
    const double length = std::max(std::hypot(d.x(), d.y()), 0.0001);
    const QPointF v = d / length * halfWidth;
    const QPointF n(-d.y() / length * halfWidth, d.x() / length * halfWidth);
    const QPointF a = start - v;
    const QPointF b = end + v;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(a + n);
    path.lineTo(b + n);
    path.lineTo(b - n);
    path.lineTo(a - n);
    path.closeSubpath();
    return path;
}

QPainterPath calloutHitShape(QPointF start, QPointF end, double halfWidth, double headHalfW,
                             double headHalfH) {
    QPainterPath path = lineHitShape(start, end, halfWidth);
    const double rx = halfWidth + headHalfW;
    const double ry = halfWidth + headHalfH;
    // Top-left, bottom-left, bottom-right, top-right: the band's turning direction.
    path.moveTo(end.x() - rx, end.y() - ry);
    path.lineTo(end.x() - rx, end.y() + ry);
    path.lineTo(end.x() + rx, end.y() + ry);
    path.lineTo(end.x() + rx, end.y() - ry);
    path.closeSubpath();
    return path;
}

bool shapeContains(const ShapeItem& shape, QPointF canvasPoint) {
    if (!isLinear(shape.kind)) {
        const QRectF box = standardized(shape.frame);
        return canvasPoint.x() >= box.left() && canvasPoint.x() <= box.right() &&
               canvasPoint.y() >= box.top() && canvasPoint.y() <= box.bottom();
    }
    const EndPoints ends = canvasEndPoints(shape.frame);
    const double half = hitHalfWidth(shape.lineWidth);
    const QPainterPath area =
        shape.kind == ShapeKind::callout
            ? calloutHitShape(ends.start, ends.end, half, shape.calloutHeadWidth() / 2,
                              shape.calloutHeadHeight() / 2)
            : lineHitShape(ends.start, ends.end, half);
    return area.contains(canvasPoint);
}

} // namespace pintora
