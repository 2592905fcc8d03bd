#include "canvas/CanvasController.h"
#include "canvas/CanvasDecorations.h"
#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "canvas/ui/CanvasPane.h"
#include "model/Geometry.h"
#include "model/PintoraDocument.h"
#include "shapes/ShapeGeometry.h"

#include <QFocusEvent>
#include <QPainter>
#include <cstdio>

// Painting: the grid, the items from the bottom up, then the selection, handles and marquee.

namespace pintora {

namespace {
constexpr double focusRingWidth = 2;

QColor accentColor(const QWidget* widget) {
    return widget->palette().color(QPalette::Highlight);
}
} // namespace

void CanvasPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), canvasBackground);
    paintGrid(painter, controller_.zoom(), controller_.pan(), size());
    const int standIns = paintItems(painter);
    paintDecorations(painter);
    if (keyboardFocus_ && hasFocus()) {
        painter.setPen(QPen(accentColor(this), focusRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    // For the benchmarks: when a frame first shows every picture in place.
    static const bool logFrames = qEnvironmentVariableIsSet("PINTORA_FRAME_LOG");
    if (logFrames) {
        std::fprintf(stderr, "pintora frame: %lld ms after show, %d stand-ins, zoom %.3f\n",
                     shownClock_.isValid() ? shownClock_.elapsed() : -1LL, standIns,
                     controller_.zoom());
    }
}

void CanvasPane::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Back from its own text editor, the canvas shows the ring as it did before.
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
        reason == Qt::ShortcutFocusReason)
        keyboardFocus_ = true;
    else if (reason == Qt::MouseFocusReason)
        keyboardFocus_ = false;
    update();
}

void CanvasPane::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

int CanvasPane::paintItems(QPainter& painter) {
    int standIns = 0;
    painter.save();
    painter.translate(controller_.pan());
    painter.scale(controller_.zoom(), controller_.zoom());
    DecodedImageCache& decoded = DecodedImageCache::shared();
    ScaledPictureCache& scaled = ScaledPictureCache::shared();
    for (const CanvasItem& item : document_.state().items) {
        const QPointF offset = offsetOf(item.id());
        if (const ImageItem* image = item.image()) {
            standIns += scaled.paint(painter, *image, decoded, offset) ? 0 : 1;
            continue;
        }
        if (textEdit_.isEditing(item.id()) && item.text() && !isCard(item.text()->style)) {
            continue; // the editor shows the text
        }
        painter.save();
        painter.translate(offset);
        if (textEdit_.isEditing(item.id())) {
            TextItem card = *item.text();
            card.string.clear(); // the editor shows the text over the card
            paintText(painter, card, PaintTarget::canvas);
        } else {
            paintItem(painter, item, QImage(), PaintTarget::canvas);
        }
        painter.restore();
    }
    if (const auto& draft = drawing_.draftItem()) {
        if (const TextItem* text = draft->text()) {
            QColor accent = accentColor(this);
            accent.setAlphaF(0.8f);
            QPen pen(accent, 1 / controller_.zoom());
            pen.setDashPattern({4, 2});
            strokeInside(painter, standardized(text->frame), pen);
        } else {
            paintItem(painter, *draft, QImage(), PaintTarget::canvas);
        }
    }
    painter.restore();
    return standIns;
}

void CanvasPane::paintDecorations(QPainter& painter) {
    if (tool_ != Tool::select) {
        if (const auto rect = marquee_.rect()) paintMarquee(painter, *rect, accentColor(this));
        return;
    }
    const QColor accent = accentColor(this);
    const CanvasState& state = document_.state();
    const QPointF live = QPointF(itemDrag_.liveOffset().width(), itemDrag_.liveOffset().height()) *
                         controller_.zoom();
    for (const CanvasItem& item : state.items) {
        if (!selection_.contains(item.id())) continue;
        if (outlineSuppressed(item, textEdit_.isEditing(item.id()))) continue;
        paintSelectionOutline(
            painter, controller_.viewRect(standardized(item.frame())).translated(live), accent);
    }
    if (selection_.size() >= 2) {
        if (const auto box = selectionBox(state, selection_, controller_, live)) {
            paintMultiSelectionBox(painter, *box, selection_.size(), accent);
        }
    } else if (const CanvasItem* item = handleItem(state, selection_)) {
        const QSizeF follow(live.x(), live.y());
        if (item->shape() && isLinear(item->shape()->kind)) {
            for (QPointF p : endpointHandlePositions(item->frame(), controller_, follow)) {
                paintHandleDot(painter, p, accent);
            }
        } else if (!textEdit_.isEditing(item->id()) && !outlineSuppressed(*item, false)) {
            // A card being edited has no handles: a press there belongs to the editor.
            for (QPointF p : resizeHandlePositions(item->frame(), controller_, follow)) {
                paintHandleDot(painter, p, accent);
            }
        }
    }
    if (const auto rect = marquee_.rect()) paintMarquee(painter, *rect, accent);
}

} // namespace pintora
