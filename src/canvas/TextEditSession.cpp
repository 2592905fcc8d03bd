#include "canvas/TextEditSession.h"

#include "model/PintoraDocument.h"

#include <algorithm>
#include <utility>

namespace pintora {

double TextEditSession::cardChrome(double fontSize) {
    return std::max(20.0, 0.8 * fontSize);
}

void TextEditSession::begin(const PintoraDocument& document, const QUuid& id) {
    const CanvasItem* item = findItem(document.state(), id);
    if (!item || !item->text()) {
        return;
    }
    editingId_ = id;
    original_ = item->text()->string;
    liveString_.reset();
}

void TextEditSession::liveChange(PintoraDocument& document, const QUuid& id, const QString& string,
                                 QSizeF measured) {
    const CanvasItem* found = findItem(document.state(), id);
    if (!found || !found->text()) {
        return;
    }
    const TextItem& text = *found->text();
    liveString_ = string;
    const QRectF f = text.frame;
    const double chrome = isCard(text.style) ? cardChrome(text.fontSize) : 0;
    // Height never shrinks while typing; a text that does not wrap is as wide as its text.
    const double width = text.wraps ? f.width() : std::max(measured.width(), 8.0);
    const double height = std::max(f.height(), measured.height() + chrome);
    const QRectF frame(f.x(), f.y(), width, height);
    if (frame == f) {
        return;
    }
    CanvasState state = document.state();
    TextItem* changed = findItem(state, id)->text();
    changed->frame = frame;
    changed->string = string;
    document.setState(std::move(state));
}

bool TextEditSession::commit(CanvasContext& context, const QUuid& id) {
    if (editingId_ != id) {
        return false;
    }
    editingId_.reset();
    const std::optional<QString> live = std::exchange(liveString_, std::nullopt);
    const QString original = std::exchange(original_, QString());
    PintoraDocument& document = context.document;
    const CanvasItem* found = findItem(document.state(), id);
    if (!found || !found->text()) {
        return false;
    }
    if (live && *live != found->text()->string) {
        CanvasState state = document.state();
        findItem(state, id)->text()->string = *live;
        document.setState(std::move(state));
    }
    const QString string = findItem(document.state(), id)->text()->string;
    if (string.trimmed().isEmpty()) {
        document.apply(context.undoStack, actionName::deleteText, [&](CanvasState& state) {
            state.items.removeIf([&](const CanvasItem& item) { return item.id() == id; });
        });
        context.selection.remove(id);
        return true;
    }
    if (string != original && context.undoStack) {
        // Undo brings the former words back but keeps the frame as large as it grew.
        CanvasState before = document.state();
        findItem(before, id)->text()->string = original;
        document.registerStep(context.undoStack, actionName::editText, before);
    }
    return false;
}

} // namespace pintora
