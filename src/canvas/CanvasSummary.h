#pragma once

#include "model/CanvasState.h"

#include <QString>

namespace pintora {

// What a screen reader is told of the canvas: "Canvas: 4 pictures, 2 shapes, 1 note;
// 1 selected", or "Canvas: empty".
QString canvasDescription(const CanvasState& state, qsizetype selected);

} // namespace pintora
