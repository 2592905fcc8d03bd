#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <array>
#include <optional>

namespace pintora {

class CanvasController;

// The eight grab handles around a box item, in layout order.
enum class ResizeHandle { nw, n, ne, e, se, s, sw, w };
inline constexpr std::array<ResizeHandle, 8> allResizeHandles{
    ResizeHandle::nw, ResizeHandle::n, ResizeHandle::ne, ResizeHandle::e,
    ResizeHandle::se, ResizeHandle::s, ResizeHandle::sw, ResizeHandle::w};

// Where each handle sits in view points for an item whose frame is `frame` (standardised
// here), shifted by `liveOffset` while the item is dragged.
std::array<QPointF, 8> resizeHandlePositions(const QRectF& frame,
                                             const CanvasController& controller,
                                             QSizeF liveOffset = QSizeF(0, 0));

// The frame a handle drag gives, from the standardised frame at the drag's start and the
// movement in canvas units. Unlocked, edges move freely and may cross (negative extents);
// locked, the aspect of `base` is kept and extents stay positive.
QRectF resizedFrame(ResizeHandle handle, const QRectF& base, QPointF delta, bool lockAspect);

// Pictures keep their aspect unless Shift is held; other items the other way round.
inline bool aspectLocked(bool isImage, bool shiftHeld) {
    return isImage != shiftHeld;
}

// The two handles of a line, arrow or callout.
enum class Endpoint { start, end };

// Start and end handle positions in view points, on the stored (directed) frame.
std::array<QPointF, 2> endpointHandlePositions(const QRectF& frame,
                                               const CanvasController& controller,
                                               QSizeF liveOffset = QSizeF(0, 0));

// The frame after moving one end by `delta` canvas units; the other end stays.
QRectF movedEndpoint(Endpoint endpoint, const QRectF& base, QPointF delta);

// One drag of a handle: every change starts again from the frame the item had when the drag
// began, so the result depends only on the total translation.
class HandleDrag {
public:
    // The new frame for a change with `translation` in view points. `frame` is the item's
    // current frame, used only on the first change.
    QRectF resize(ResizeHandle handle, const QRectF& frame, QSizeF translation, double zoom,
                  bool lockAspect);
    QRectF moveEndpoint(Endpoint endpoint, const QRectF& frame, QSizeF translation, double zoom);
    // The frame from before the drag, if it changed anything; the drag is over.
    std::optional<QRectF> finish();

    bool active() const { return base_.has_value(); }

private:
    std::optional<QRectF> base_;
};

} // namespace pintora
