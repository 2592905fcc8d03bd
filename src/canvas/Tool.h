#pragma once

namespace pintora {

// The drawing tools of the annotate tab; `select` picks and moves items.
enum class Tool { select, rect, ellipse, arrow, line, callout, text, note };

} // namespace pintora
