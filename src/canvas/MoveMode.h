#pragma once

#include "canvas/CanvasContext.h"

#include <QHash>
#include <QRectF>
#include <QSizeF>
#include <QUuid>
#include <optional>

namespace pintora {

// A drawing tool's drag that starts on an item moves the selection instead of drawing. Frames
// are written live; the release makes the whole move one "Move" step and picks the select
// tool.
class MoveMode {
public:
    // Drags up to this long, in view points, are clicks or wobbles, not moves.
    static constexpr double clickDistance = 4;

    void enter(CanvasContext& context, const QUuid& hitId);
    // `translation` is in view points.
    void change(CanvasContext& context, QSizeF translation);
    void end(CanvasContext& context, double dragLength);

    bool active() const { return active_; }
    const QHash<QUuid, QRectF>& originals() const { return originals_; }
    std::optional<QUuid> primaryId() const { return primaryId_; }

private:
    bool active_ = false;
    QHash<QUuid, QRectF> originals_;
    std::optional<QUuid> primaryId_;
};

} // namespace pintora
