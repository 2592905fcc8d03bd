#pragma once

#include "model/CanvasItem.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace pintora {

// Line, arrow and callout frames are directed segments: the start is the origin, the end is
// origin + size, and negative extents carry the direction.
inline bool isLinear(ShapeKind kind) {
    return kind == ShapeKind::arrow || kind == ShapeKind::line || kind == ShapeKind::callout;
}

struct EndPoints {
    QPointF start;
    QPointF end;
};

// The end points in canvas coordinates: origin and origin + size.
EndPoints canvasEndPoints(const QRectF& frame);

// Sizes shared by the shaft, the heads and the callout pointer.
struct SegmentMetrics {
    QPointF delta; // end − start
    double length; // at least 0.0001, so a zero segment has a direction of (0, 0)
    QPointF unit;  // delta ÷ length
    double head;   // length of an arrow head's sides
    double inset;  // how far the shaft stops short of a head
};
SegmentMetrics segmentMetrics(QPointF start, QPointF end, double lineWidth);

// Half the opening angle of an arrow head.
inline constexpr double headHalfAngle = 3.14159265358979323846 / 7;

// The shaft: an open path, shortened by the inset at each end that carries a head.
QPainterPath linearBody(QPointF start, QPointF end, double lineWidth, bool hasStartHead,
                        bool hasEndHead);
// The closed head triangle at `tip`, pointing away from `from`.
QPainterPath arrowHead(QPointF from, QPointF tip, double lineWidth);

// Distance from a callout head's centre to its border along the unit direction `unit`, cut to
// at most `length`.
double calloutHeadDistance(QPointF unit, double length, CalloutHead head, double halfWidth,
                           double halfHeight);
// The head's box, centred on the end point.
QRectF calloutHeadBox(const ShapeItem& shape, QPointF end);
// The pointer line from the start to the head's border.
QPainterPath calloutPointer(const ShapeItem& shape, QPointF start, QPointF end);
// The head's outline: an ellipse or the box itself.
QPainterPath calloutHeadOutline(const ShapeItem& shape, QPointF end);

// A rectangle's or an ellipse's outline in `box`.
QPainterPath boxOutline(ShapeKind kind, const QRectF& box);

// Half the width of the band in which a line, arrow or callout can be clicked.
inline double hitHalfWidth(double lineWidth) {
    return lineWidth > 12 ? lineWidth : 12;
}
// A band 2 × halfWidth wide around the segment, reaching halfWidth past each end.
QPainterPath lineHitShape(QPointF start, QPointF end, double halfWidth);
// The band plus the head's box grown by halfWidth, both wound the same way so that where
// they overlap (the pointer entering the head) still counts as inside.
QPainterPath calloutHitShape(QPointF start, QPointF end, double halfWidth, double headHalfW,
                             double headHalfH);

// Whether a click at the canvas point lands on the shape: boxes anywhere inside their frame,
// linear shapes within their band.
bool shapeContains(const ShapeItem& shape, QPointF canvasPoint);

} // namespace pintora
