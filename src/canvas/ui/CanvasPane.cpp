#include "canvas/ui/CanvasPane.h"

#include "canvas/CanvasController.h"
#include "canvas/CanvasDecorations.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "canvas/TextMetrics.h"
#include "canvas/ui/TextEditorOverlay.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "platform/ui/AccessibleRole.h"
#include "shapes/ui/ItemToolbar.h"

namespace pintora {

CanvasPane::CanvasPane(PintoraDocument& document, CanvasController& controller,
                       UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), document_(document), controller_(controller), defaults_(defaults) {
    setAcceptDrops(true);
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleRole(this, QAccessible::Canvas);
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
    return CanvasContext{document_,
                         document_.undoStack(),
                         selection_,
                         tool_,
                         controller_,
                         defaults_,
                         [this](const QString& message) { emit noticeRequested(message); }};
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
        emit textTyped();
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

bool CanvasPane::isEditingText() const {
    return editor_ && editor_->isVisible() && textEdit_.editingId();
}

CanvasState CanvasPane::stateAsShown() const {
    CanvasState state = document_.state();
    const std::optional<QUuid> id = textEdit_.editingId();
    const std::optional<QString> typed = textEdit_.liveString();
    if (!isEditingText() || !id || !typed) return state;
    if (CanvasItem* item = findItem(state, *id); item && item->text())
        item->text()->string = *typed;
    return state;
}

void CanvasPane::syncTextEditor() {
    if (!editor_) return;
    const std::optional<QUuid> id = textEdit_.editingId();
    const CanvasItem* item = id ? findItem(document_.state(), *id) : nullptr;
    if (!item || !item->text()) return;
    // A copy: placing the editor can resize its text, and so change the document's state.
    const TextItem text = *item->text();
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

} // namespace pintora
