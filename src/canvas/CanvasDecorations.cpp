#include "canvas/CanvasDecorations.h"

#include "canvas/CanvasController.h"
#include "model/Geometry.h"
#include "shapes/ShapeGeometry.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>

namespace pintora {

QPainterPath gridPath(double zoom, QPointF pan, QSizeF viewSize) {
    QPainterPath path;
    const double step = 40 * zoom;
    if (!(step >= 8)) {
        return path;
    }
    const double w = viewSize.width();
    const double h = viewSize.height();
    for (double x = std::fmod(pan.x(), step); x < w; x += step) {
        path.moveTo(x, 0);
        path.lineTo(x, h);
    }
    for (double y = std::fmod(pan.y(), step); y < h; y += step) {
        path.moveTo(0, y);
        path.lineTo(w, y);
    }
    return path;
}

void paintGrid(QPainter& painter, double zoom, QPointF pan, QSizeF viewSize) {
    const QPainterPath path = gridPath(zoom, pan, viewSize);
    if (path.isEmpty()) {
        return;
    }
    QColor color(Qt::black);
    color.setAlphaF(0.06f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.strokePath(path, QPen(color, 1));
    painter.restore();
}

const CanvasItem* handleItem(const CanvasState& state, const Selection& selection) {
    for (const CanvasItem& item : state.items) {
        if (selection.contains(item.id())) {
            return &item;
        }
    }
    return nullptr;
}

bool outlineSuppressed(const CanvasItem& item, bool isBeingEdited) {
    if (const ShapeItem* shape = item.shape()) {
        return isLinear(shape->kind);
    }
    if (const TextItem* text = item.text()) {
        return isBeingEdited && !isCard(text->style) && !text->wraps;
    }
    return false;
}

std::optional<QRectF> selectionBox(const CanvasState& state, const Selection& selection,
                                   const CanvasController& controller, QPointF liveOffset) {
    std::optional<QRectF> box;
    for (const CanvasItem& item : state.items) {
        if (selection.contains(item.id())) {
            const QRectF f = standardized(item.frame());
            box = box ? joined(*box, f) : f;
        }
    }
    if (!box) {
        return std::nullopt;
    }
    return controller.viewRect(*box).translated(liveOffset);
}

void strokeInside(QPainter& painter, const QRectF& rect, const QPen& pen) {
    const double half = pen.widthF() / 2;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen);
    painter.drawRect(rect.adjusted(half, half, -half, -half));
    painter.restore();
}

void paintSelectionOutline(QPainter& painter, const QRectF& rect, const QColor& accent) {
    QPen pen(accent, 1.5);
    pen.setDashPattern({4 / 1.5, 3 / 1.5}); // in pen widths
    strokeInside(painter, rect, pen);
}

void paintMultiSelectionBox(QPainter& painter, const QRectF& rect, qsizetype count,
                            const QColor& accent) {
    QColor fill = accent;
    fill.setAlphaF(0.06f);
    painter.fillRect(rect, fill);
    strokeInside(painter, rect, QPen(accent, 2));

    QFont font = QGuiApplication::font();
    font.setPixelSize(10);
    font.setWeight(QFont::DemiBold);
    const QString label = QString::number(count) + QStringLiteral(" items");
    const QFontMetricsF metrics(font);
    const QRectF badge(rect.left() + 6, rect.top() + 6, metrics.horizontalAdvance(label) + 12,
                       metrics.height() + 4);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawRoundedRect(badge, 4, 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, label);
    painter.restore();
}

void paintMarquee(QPainter& painter, const QRectF& rect, const QColor& accent) {
    QColor fill = accent;
    fill.setAlphaF(0.08f);
    painter.fillRect(rect, fill);
    QColor border = accent;
    border.setAlphaF(0.8f);
    QPen pen(border, 1);
    pen.setDashPattern({4, 2});
    strokeInside(painter, rect, pen);
}

void paintHandleDot(QPainter& painter, QPointF center, const QColor& accent) {
    const QRectF dot(center.x() - 4.5, center.y() - 4.5, 9, 9);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(dot.translated(0, 0.5).adjusted(-0.5, -0.5, 0.5, 0.5), QColor(0, 0, 0, 77));
    painter.fillRect(dot, Qt::white);
    strokeInside(painter, dot, QPen(accent, 1));
    painter.restore();
}

} // namespace pintora
