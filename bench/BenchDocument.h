#pragma once

#include "model/CanvasState.h"

#include <QString>

namespace pintora::bench {

// A document of `pictures` screenshot-like PNG pictures (1920 x 1080, a page layout with a
// noisy photo band, so PNG cannot shrink them much), written to `path` unless a valid one is
// already there. Returns the state.
CanvasState makeBenchDocument(const QString& path, int pictures);

// A memory line of /proc/self/status in bytes: "VmRSS", or "VmHWM", the peak of this process
// image (unlike getrusage's peak, which a fork carries over from the parent).
long statusBytes(const char* field);

} // namespace pintora::bench
