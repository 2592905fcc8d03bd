#pragma once

#include "model/CanvasState.h"

#include <QJsonObject>

namespace pintora {

// What a document holds, for scripts: every item by kind with its frame and the fields that
// say what it shows (pictures by their pixel size, not their bytes), the tabs, the defaults
// for new items, and the view.
QJsonObject documentSummary(const CanvasState& state);

} // namespace pintora
