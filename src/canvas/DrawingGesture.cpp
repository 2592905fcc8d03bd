#include "canvas/DrawingGesture.h"

#include "canvas/CanvasController.h"
#include "canvas/MoveMode.h"
#include "canvas/SelectionGestures.h"
#include "canvas/TextEditSession.h"
#include "canvas/TextMetrics.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "shapes/Redaction.h"

#include <cmath>
#include <numbers>

namespace pintora {

const QString actionName::redact = QStringLiteral("Redact");

QString actionName::addItem(Tool tool) {
    return QStringLiteral("Add ") + displayName(tool);
}

namespace {

QRectF boxOf(QPointF a, QPointF b) {
    return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(b.x() - a.x()),
                  std::abs(b.y() - a.y()));
}

QRectF segmentOf(QPointF start, QPointF end) {
    return QRectF(start.x(), start.y(), end.x() - start.x(), end.y() - start.y());
}

double dragLength(QSizeF t) {
    return std::hypot(t.width(), t.height());
}

bool isImage(const CanvasState& state, const QUuid& id) {
    const CanvasItem* item = findItem(state, id);
    return item && item->image();
}

// The note frame from the drag's box, never smaller than the font's minimum card.
QRectF noteFrame(QPointF start, QPointF end, double fontSize) {
    const QSizeF minimum = noteMinimumSize(fontSize);
    const QRectF box = boxOf(start, end);
    return QRectF(box.x(), box.y(), std::max(box.width(), minimum.width()),
                  std::max(box.height(), minimum.height()));
}

} // namespace

QPointF constrainedEnd(Tool tool, QPointF start, QPointF end) {
    const double dx = end.x() - start.x();
    const double dy = end.y() - start.y();
    switch (tool) {
    case Tool::rect:
    case Tool::ellipse:
    case Tool::text:
    case Tool::note: {
        const double s = std::max(std::abs(dx), std::abs(dy));
        return {start.x() + (dx < 0 ? -s : s), start.y() + (dy < 0 ? -s : s)};
    }
    case Tool::arrow:
    case Tool::line:
    case Tool::callout: {
        constexpr double step = std::numbers::pi / 4;
        const double angle = std::round(std::atan2(dy, dx) / step) * step;
        const double r = std::hypot(dx, dy);
        return {start.x() + r * std::cos(angle), start.y() + r * std::sin(angle)};
    }
    case Tool::select:
    case Tool::redact: // Shift chooses the blur there
        break;
    }
    return end;
}

std::optional<CanvasItem> makeDraft(Tool tool, QPointF start, QPointF end,
                                    const CanvasContext& context) {
    const CanvasState& state = context.document.state();
    const QString stroke = context.defaults.defaultStrokeHex();
    auto shape = [&](ShapeKind kind, const QRectF& frame) {
        ShapeItem item = makeShape(kind, frame);
        item.strokeHex = stroke;
        item.lineWidth = state.defaultLineWidth;
        item.hasStartHead = false;
        item.hasEndHead = kind == ShapeKind::arrow;
        item.calloutHead = CalloutHead::circle;
        item.calloutSize = kind == ShapeKind::callout ? context.defaults.defaultCalloutSize() : 80;
        return CanvasItem(item);
    };
    switch (tool) {
    case Tool::select:
        return std::nullopt;
    case Tool::rect:
        return shape(ShapeKind::rect, boxOf(start, end));
    case Tool::ellipse:
        return shape(ShapeKind::ellipse, boxOf(start, end));
    case Tool::arrow:
        return shape(ShapeKind::arrow, segmentOf(start, end));
    case Tool::line:
        return shape(ShapeKind::line, segmentOf(start, end));
    case Tool::callout:
        return shape(ShapeKind::callout, segmentOf(start, end));
    case Tool::text: {
        TextItem text;
        text.frame = boxOf(start, end);
        text.fontSize = state.defaultFontSize;
        text.colorHex = stroke; // only while dragging; the added text takes the text colour
        text.wraps = true;
        return CanvasItem(text);
    }
    case Tool::redact: {
        // Only a preview of the box: the redaction changes the pictures under it.
        ShapeItem box = makeShape(ShapeKind::rect, boxOf(start, end));
        box.strokeHex = QStringLiteral("#8E8E93");
        box.lineWidth = 2;
        return CanvasItem(box);
    }
    case Tool::note: {
        TextItem note;
        note.frame = noteFrame(start, end, state.defaultFontSize);
        note.fontSize = state.defaultFontSize;
        note.colorHex = QString::fromLatin1(lookOf(state.defaultNoteStyle).foregroundHex);
        note.wraps = true;
        note.style = state.defaultNoteStyle;
        return CanvasItem(note);
    }
    }
    return std::nullopt;
}

void DrawingGesture::change(CanvasContext& context, QPointF location, QSizeF translation,
                            bool shiftHeld) {
    const CanvasController& controller = context.controller;
    const QPointF pressView = location - QPointF(translation.width(), translation.height());
    const QPointF start = controller.canvasPoint(pressView);
    if (isShapeTool(context.tool) && !moveMode_.active() && !draft_) {
        // Shapes can be drawn over pictures, but a drag from any other item moves it.
        const std::optional<QUuid> hit = topmostItemId(context.document.state(), start);
        if (hit && !isImage(context.document.state(), *hit)) {
            moveMode_.enter(context, *hit);
            return;
        }
    }
    if (moveMode_.active()) {
        moveMode_.change(context, translation);
        return;
    }
    if (context.tool == Tool::text &&
        std::abs(translation.width()) + std::abs(translation.height()) < clickDistance) {
        draft_.reset(); // a text box shows only once the pointer has left the press point
        return;
    }
    QPointF end = controller.canvasPoint(location);
    if (shiftHeld && context.tool != Tool::redact) {
        end = constrainedEnd(context.tool, start, end);
    }
    draft_ = makeDraft(context.tool, start, end, context);
}

void DrawingGesture::end(CanvasContext& context, QPointF location, QSizeF translation,
                         bool shiftHeld) {
    if (moveMode_.active()) {
        moveMode_.end(context, dragLength(translation));
        draft_.reset();
        return;
    }
    const CanvasController& controller = context.controller;
    const QPointF start =
        controller.canvasPoint(location - QPointF(translation.width(), translation.height()));
    const bool click = dragLength(translation) <= clickDistance;
    if (context.tool == Tool::redact) {
        draft_.reset();
        if (!click) redact(context, start, controller.canvasPoint(location), shiftHeld);
        return;
    }
    if (click) {
        const std::optional<QUuid> hit = topmostItemId(context.document.state(), start);
        if (hit && !isImage(context.document.state(), *hit)) {
            context.tool = Tool::select;
            context.selection = {*hit};
            draft_.reset();
            return;
        }
        if (isShapeTool(context.tool)) {
            draft_.reset();
            return;
        }
    }
    if (isShapeTool(context.tool)) {
        if (draft_) addShape(context, *draft_);
        draft_.reset();
        return;
    }
    if (context.tool == Tool::text || context.tool == Tool::note) {
        QPointF endPoint = controller.canvasPoint(location);
        if (shiftHeld) {
            // The box keeps the square its preview showed.
            endPoint = constrainedEnd(context.tool, start, endPoint);
        }
        finishText(context, start, endPoint, click);
    }
    draft_.reset();
}

void DrawingGesture::place(CanvasContext& context, QPointF viewCentre) {
    const CanvasController& controller = context.controller;
    const QPointF half(keyboardSize.width() / 2, keyboardSize.height() / 2);
    const QPointF centre = controller.canvasPoint(viewCentre);
    // Segments run up and to the right, boxes from the top left.
    const bool segment =
        context.tool == Tool::arrow || context.tool == Tool::line || context.tool == Tool::callout;
    const QPointF start =
        controller.canvasPoint(viewCentre + (segment ? QPointF(-half.x(), half.y()) : -half));
    const QPointF end =
        controller.canvasPoint(viewCentre + (segment ? QPointF(half.x(), -half.y()) : half));
    switch (context.tool) {
    case Tool::select:
        return;
    case Tool::redact:
        redact(context, start, end, false);
        return;
    case Tool::text:
    case Tool::note:
        finishText(context, centre, centre, true);
        return;
    default:
        break;
    }
    if (const std::optional<CanvasItem> item = makeDraft(context.tool, start, end, context))
        addShape(context, *item);
}

void DrawingGesture::addShape(CanvasContext& context, const CanvasItem& item) {
    context.document.apply(context.undoStack, actionName::addItem(context.tool),
                           [&](CanvasState& state) { state.items.append(item); });
    context.selection = {item.id()};
    // A callout is usually numbered once: the select tool takes over.
    if (context.tool == Tool::callout) context.tool = Tool::select;
}

void DrawingGesture::redact(CanvasContext& context, QPointF start, QPointF end, bool blur) {
    int unchanged = 0;
    std::optional<CanvasState> redacted =
        redactedState(context.document.state(), boxOf(start, end),
                      blur ? RedactStyle::blur : RedactStyle::pixelate, &unchanged);
    if (unchanged > 0 && context.tell) {
        context.tell(unchanged == 1 ? QObject::tr("A picture under the box is too large to change: "
                                                  "it was not redacted.")
                                    : QObject::tr("%1 pictures under the box are too large to "
                                                  "change: they were not redacted.")
                                          .arg(unchanged));
    }
    if (!redacted) return; // the box covers no picture that could be changed
    // The edited pictures have new ids: a selected one stays selected.
    const CanvasState& before = context.document.state();
    Selection selection;
    for (qsizetype i = 0; i < before.items.size(); ++i) {
        if (context.selection.contains(before.items[i].id()))
            selection.insert(redacted->items[i].id());
    }
    context.document.apply(context.undoStack, actionName::redact,
                           [&](CanvasState& state) { state.items = std::move(redacted->items); });
    context.selection = selection;
}

void DrawingGesture::finishText(CanvasContext& context, QPointF start, QPointF end, bool click) {
    const CanvasState& state = context.document.state();
    const double fontSize = state.defaultFontSize;
    TextItem text;
    text.fontSize = fontSize;
    text.wraps = true;
    if (context.tool == Tool::text) {
        text.colorHex = context.defaults.defaultTextHex();
        const double lh = lineHeight(fontSize);
        if (click) {
            // A line that grows with the typing, centred on the click.
            text.frame = QRectF(start.x(), start.y() - lh / 2, 8, lh);
            text.wraps = false;
        } else {
            text.frame = QRectF(std::min(start.x(), end.x()), std::min(start.y(), end.y()),
                                std::max(std::abs(end.x() - start.x()), 40.0),
                                std::max(std::abs(end.y() - start.y()), lh));
        }
    } else {
        text.style = state.defaultNoteStyle;
        text.colorHex = QString::fromLatin1(lookOf(text.style).foregroundHex);
        text.frame = noteFrame(start, click ? start : end, fontSize);
    }
    const Tool tool = context.tool;
    context.document.apply(context.undoStack, actionName::addItem(tool),
                           [&](CanvasState& s) { s.items.append(CanvasItem(text)); });
    context.selection = {text.id};
    textEdit_.begin(context.document, text.id);
    context.tool = Tool::select;
}

} // namespace pintora
