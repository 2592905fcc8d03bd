#pragma once

namespace pintora {

// Where a batch capture stands: the 1-based preset being captured, of how many.
struct CaptureProgress {
    int current = 0;
    int total = 0;

    bool operator==(const CaptureProgress&) const = default;
};

} // namespace pintora
