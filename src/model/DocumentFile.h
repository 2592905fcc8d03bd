#pragma once

#include "model/CanvasState.h"
#include "model/Expected.h"

#include <QString>

namespace pintora {

// Reads one document file; the failure says what is wrong and where.
Expected<CanvasState> readDocumentFile(const QString& path, const QString& newTabURL);

// Writes the state to `path` atomically: the old file stays intact unless the whole new one
// was written. Returns an empty string on success, else the reason.
QString writeDocumentFile(const QString& path, const CanvasState& state);

} // namespace pintora
