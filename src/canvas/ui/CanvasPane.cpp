#include "canvas/CanvasPane.h"

#include "canvas/CanvasController.h"
#include "canvas/CanvasDecorations.h"
#include "canvas/DecodedImageCache.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "canvas/TextEditorOverlay.h"
#include "canvas/TextMetrics.h"
#include "model/Geometry.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "shapes/ItemToolbar.h"
#include "shapes/ShapeGeometry.h"
#include "window/CapturePlacement.h"

#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <cmath>
#include <cstdio>

namespace pintora {

namespace {

// Pointer travel before a drag starts: for an item in canvas units (its own size), for a handle
// in view points.
constexpr double dragDistance = 10;
// How far from a handle's centre a press still takes it.
constexpr double handleGrabRadius = 7;

QColor accentColor(const QWidget* widget) {
    return widget->palette().color(QPalette::Highlight);
}

double length(QPointF p) {
    return std::hypot(p.x(), p.y());
}

QSizeF sizeOf(QPointF p) {
    return {p.x(), p.y()};
}

} // namespace

CanvasPane::CanvasPane(PintoraDocument& document, CanvasController& controller,
                       UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), document_(document), controller_(controller), defaults_(defaults) {
    setAcceptDrops(true);
    setMouseTracking(false);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_AcceptTouchEvents);
    connect(&document_, &PintoraDocument::stateChanged, this, &CanvasPane::stateChanged);
    connect(&controller_, &CanvasController::zoomChanged, this, &CanvasPane::stateChanged);
    connect(&controller_, &CanvasController::panChanged, this, &CanvasPane::stateChanged);
    connect(&ScaledPictureCache::shared(), &ScaledPictureCache::copyReady, this,
            qOverload<>(&QWidget::update));
    itemToolbar_ = new ItemToolbar(document_, defaults_, this);
    connect(itemToolbar_, &ItemToolbar::cropRequested, this, &CanvasPane::cropRequested);
}

CanvasPane::~CanvasPane() = default;

CanvasContext CanvasPane::context() {
    return CanvasContext{document_, document_.undoStack(), selection_,
                         tool_,     controller_,           defaults_};
}

void CanvasPane::setTool(Tool tool) {
    if (tool == tool_) return;
    tool_ = tool;
    syncItemToolbar();
    update();
}

void CanvasPane::setSelection(const Selection& selection) {
    if (selection == selection_) return;
    selection_ = selection;
    syncItemToolbar();
    update();
}

void CanvasPane::publish(Tool toolBefore, const Selection& selectionBefore) {
    if (tool_ != toolBefore) emit toolChanged(tool_);
    if (selection_ != selectionBefore) emit selectionChanged(selection_);
    syncItemToolbar();
    syncTextEditor();
    update();
}

QWidget* CanvasPane::textEditor() const {
    return editor_;
}

void CanvasPane::stateChanged() {
    syncItemToolbar();
    syncTextEditor();
    update();
}

void CanvasPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    controller_.setViewportSize(size());
}

void CanvasPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    controller_.setViewportSize(size());
    if (!shownClock_.isValid()) shownClock_.start();
}

// Hit testing with the select tool: pictures and cards anywhere in their box, plain text in
// its box, shapes in their band or box; the topmost item wins.
std::optional<QUuid> CanvasPane::itemAt(QPointF viewPoint) const {
    const QPointF p = controller_.canvasPoint(viewPoint);
    const QList<CanvasItem>& items = document_.state().items;
    for (qsizetype i = items.size() - 1; i >= 0; --i) {
        const CanvasItem& item = items[i];
        const QPointF local = p - offsetOf(item.id());
        bool hit = false;
        if (const ShapeItem* shape = item.shape()) {
            hit = shapeContains(*shape, local);
        } else {
            const QRectF f = standardized(item.frame());
            hit = local.x() >= f.left() && local.x() <= f.right() && local.y() >= f.top() &&
                  local.y() <= f.bottom();
        }
        if (hit) return item.id();
    }
    return std::nullopt;
}

std::optional<CanvasPane::HandlePress> CanvasPane::handleAt(QPointF viewPoint) const {
    // Handles are there only as drawn: for exactly one selected item.
    if (tool_ != Tool::select || selection_.size() != 1) return std::nullopt;
    const CanvasItem* item = handleItem(document_.state(), selection_);
    if (!item || textEdit_.isEditing(item->id())) return std::nullopt;
    auto near = [&](QPointF p) { return length(p - viewPoint) <= handleGrabRadius; };
    if (item->shape() && isLinear(item->shape()->kind)) {
        const auto ends = endpointHandlePositions(item->frame(), controller_);
        // The end is on top of the start when both coincide.
        if (near(ends[1])) return HandlePress{item->id(), Endpoint::end, false};
        if (near(ends[0])) return HandlePress{item->id(), Endpoint::start, false};
        return std::nullopt;
    }
    if (outlineSuppressed(*item, textEdit_.isEditing(item->id()))) return std::nullopt;
    const auto positions = resizeHandlePositions(item->frame(), controller_);
    for (size_t i = 0; i < positions.size(); ++i) {
        if (near(positions[i])) {
            return HandlePress{item->id(), allResizeHandles[i], item->image() != nullptr};
        }
    }
    return std::nullopt;
}

QPointF CanvasPane::offsetOf(const QUuid& id) const {
    if (itemDrag_.primaryId() == id) {
        const QSizeF o = itemDrag_.liveOffset();
        return {o.width(), o.height()};
    }
    const QSizeF o = itemDrag_.companionOffset(id, selection_);
    return {o.width(), o.height()};
}

void CanvasPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressPoint_ = event->position();
    dragStarted_ = false;
    if (tool_ != Tool::select) {
        press_ = DrawPress{};
    } else if (const auto handle = handleAt(pressPoint_)) {
        press_ = *handle;
    } else if (const auto id = itemAt(pressPoint_)) {
        press_ = ItemPress{*id};
    } else {
        press_ = EmptyPress{};
    }
    event->accept();
}

void CanvasPane::mouseMoveEvent(QMouseEvent* event) {
    if (std::holds_alternative<std::monostate>(press_)) return;
    const QPointF t = event->position() - pressPoint_;
    const bool shift = event->modifiers() & Qt::ShiftModifier; // as it is now, not at the press
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    CanvasContext ctx = context();
    if (std::holds_alternative<DrawPress>(press_)) {
        drawing_.change(ctx, event->position(), sizeOf(t), shift);
    } else if (std::holds_alternative<EmptyPress>(press_)) {
        marquee_.change(pressPoint_, event->position());
    } else if (!dragStarted_ &&
               length(t) / (std::holds_alternative<ItemPress>(press_) ? controller_.zoom() : 1) <
                   dragDistance) {
        return;
    } else if (const auto* item = std::get_if<ItemPress>(&press_)) {
        dragStarted_ = true;
        itemDrag_.change(ctx, item->id, sizeOf(t / controller_.zoom()), shift);
    } else if (const auto* handle = std::get_if<HandlePress>(&press_)) {
        dragStarted_ = true;
        const CanvasItem* target = findItem(document_.state(), handle->id);
        if (!target) return;
        QRectF frame;
        if (const auto* corner = std::get_if<ResizeHandle>(&handle->handle)) {
            frame = handleDrag_.resize(*corner, target->frame(), sizeOf(t), controller_.zoom(),
                                       aspectLocked(handle->lockByDefault, shift));
        } else {
            frame = handleDrag_.moveEndpoint(std::get<Endpoint>(handle->handle), target->frame(),
                                             sizeOf(t), controller_.zoom());
        }
        resizeItemLive(document_, handle->id, frame);
    }
    publish(toolBefore, selectionBefore);
}

void CanvasPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || std::holds_alternative<std::monostate>(press_)) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF t = event->position() - pressPoint_;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    CanvasContext ctx = context();
    const Press press = std::exchange(press_, std::monostate{});
    if (std::holds_alternative<DrawPress>(press)) {
        const std::optional<QUuid> editingBefore = textEdit_.editingId();
        drawing_.end(ctx, event->position(), sizeOf(t), shift);
        if (textEdit_.editingId() && textEdit_.editingId() != editingBefore) {
            beginTextEdit(*textEdit_.editingId());
        }
    } else if (std::holds_alternative<EmptyPress>(press)) {
        if (marquee_.rect()) {
            marquee_.end(ctx);
        } else {
            // A click on empty canvas ends text editing and clears the selection.
            endTextEditing();
            selection_.clear();
        }
    } else if (const auto* item = std::get_if<ItemPress>(&press)) {
        if (dragStarted_) {
            itemDrag_.end(ctx, item->id, sizeOf(t / controller_.zoom()));
        } else {
            tapItem(selection_, item->id, shift);
        }
    } else if (const auto* handle = std::get_if<HandlePress>(&press)) {
        if (const std::optional<QRectF> original = handleDrag_.finish()) {
            commitResizeUndo(document_, document_.undoStack(), handle->id, *original);
        }
    }
    dragStarted_ = false;
    publish(toolBefore, selectionBefore);
}

void CanvasPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (tool_ == Tool::select && event->button() == Qt::LeftButton) {
        if (const auto id = itemAt(event->position())) {
            const CanvasItem* item = findItem(document_.state(), *id);
            if (item && item->text()) {
                textEdit_.begin(document_, *id);
                beginTextEdit(*id);
                event->accept();
                return;
            }
        }
    }
    mousePressEvent(event);
}

void CanvasPane::beginTextEdit(const QUuid& id) {
    const CanvasItem* item = findItem(document_.state(), id);
    if (!item || !item->text()) return;
    if (editor_) editor_->deleteLater();
    editor_ = new TextEditorOverlay(*item->text(), this);
    connect(editor_, &TextEditorOverlay::textEdited, this, [this, id](const QString& text) {
        const CanvasItem* current = findItem(document_.state(), id);
        if (!current || !current->text()) return;
        const TextItem& t = *current->text();
        // Lines wrap at the width they are drawn in, so the frame grows by what the editor shows.
        std::optional<double> wrapWidth;
        if (t.wraps) wrapWidth = textArea(t).width();
        textEdit_.liveChange(document_, id, text, measureText(text, t.fontSize, wrapWidth));
    });
    connect(editor_, &TextEditorOverlay::editingEnded, this, [this, id] {
        const Tool toolBefore = tool_;
        const Selection selectionBefore = selection_;
        CanvasContext ctx = context();
        textEdit_.commit(ctx, id);
        if (editor_) {
            editor_->hide();
            editor_->deleteLater();
        }
        publish(toolBefore, selectionBefore);
        setFocus();
    });
    syncTextEditor();
    editor_->show();
    editor_->startEditing();
}

void CanvasPane::endTextEditing() {
    if (editor_ && editor_->isVisible()) {
        editor_->finish();
    }
}

void CanvasPane::syncTextEditor() {
    if (!editor_) return;
    const std::optional<QUuid> id = textEdit_.editingId();
    const CanvasItem* item = id ? findItem(document_.state(), *id) : nullptr;
    if (!item || !item->text()) return;
    const TextItem& text = *item->text();
    // The editor's margin is the inset, so its lines stand where they are drawn.
    const QRectF area = textArea(text).adjusted(-textInset, -textInset, textInset, textInset);
    editor_->place(controller_.viewRect(area), controller_.zoom(), text);
}

void CanvasPane::syncItemToolbar() {
    const bool single = selection_.size() == 1 && tool_ == Tool::select;
    const CanvasItem* item = single ? handleItem(document_.state(), selection_) : nullptr;
    const QSizeF live = itemDrag_.liveOffset() * controller_.zoom();
    itemToolbar_->showFor(item, controller_, live);
}

bool CanvasPane::placePictures(const QList<QImage>& images, std::optional<QPointF> viewPoint) {
    QList<CapturePicture> pictures;
    for (const QImage& image : images) {
        if (auto picture = capturePicture(image)) pictures.append(*picture);
    }
    const Tool toolBefore = tool_;
    const Selection selectionBefore = selection_;
    std::optional<QPointF> at;
    if (viewPoint) at = controller_.canvasPoint(*viewPoint);
    const bool placed = placeCaptures(document_, document_.undoStack(), selection_, pictures, at,
                                      controller_.viewportCenterInCanvas());
    publish(toolBefore, selectionBefore);
    if (placed) emit picturesPlaced();
    return placed;
}

QList<QImage> CanvasPane::picturesIn(const QMimeData* mime) {
    QList<QImage> pictures;
    if (!mime) return pictures;
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) pictures.append(image);
    }
    for (const char* type : {"image/png", "image/tiff"}) {
        if (!pictures.isEmpty()) break;
        const QByteArray bytes = mime->data(QString::fromLatin1(type));
        if (!bytes.isEmpty()) {
            const QImage image = DecodedImageCache::decode(bytes);
            if (!image.isNull()) pictures.append(image);
        }
    }
    if (pictures.isEmpty()) {
        for (const QUrl& url : mime->urls()) {
            if (!url.isLocalFile()) continue;
            QImageReader reader(url.toLocalFile());
            const QImage image = reader.read();
            if (!image.isNull()) pictures.append(image);
        }
    }
    return pictures;
}

void CanvasPane::dragEnterEvent(QDragEnterEvent* event) {
    // The window's own canvas dragged out of its thumbnail is on its way elsewhere: the window
    // is see-through then, and dropping it back would paste the canvas into itself.
    if (auto* source = qobject_cast<QWidget*>(event->source());
        source && source->window() == window()) {
        return;
    }
    const QMimeData* mime = event->mimeData();
    if (mime->hasImage() || mime->hasUrls() || mime->hasFormat(QStringLiteral("image/png")) ||
        mime->hasFormat(QStringLiteral("image/tiff"))) {
        event->acceptProposedAction();
    }
}

void CanvasPane::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void CanvasPane::dropEvent(QDropEvent* event) {
    // Always taken, even when nothing in it is a picture.
    event->acceptProposedAction();
    placePictures(picturesIn(event->mimeData()), event->position());
}

void CanvasPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), canvasBackground);
    paintGrid(painter, controller_.zoom(), controller_.pan(), size());
    const int standIns = paintItems(painter);
    paintDecorations(painter);
    // For the benchmarks: when a frame first shows every picture in place.
    static const bool logFrames = qEnvironmentVariableIsSet("PINTORA_FRAME_LOG");
    if (logFrames) {
        std::fprintf(stderr, "pintora frame: %lld ms after show, %d stand-ins, zoom %.3f\n",
                     shownClock_.isValid() ? shownClock_.elapsed() : -1LL, standIns,
                     controller_.zoom());
    }
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
