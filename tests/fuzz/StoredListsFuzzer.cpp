// The browsing history and the viewport presets, as read from user defaults: whatever the
// settings hold, reading never crashes, and what is read writes and reads back the same.
#include "FuzzCheck.h"
#include "capture/AppPresetsStore.h"
#include "capture/BrowsingHistoryStore.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto entries = BrowsingHistoryStore::decode(json)) {
        const auto written = BrowsingHistoryStore::encode(*entries);
        FUZZ_CHECK(written);
        const auto again = BrowsingHistoryStore::decode(*written);
        FUZZ_CHECK(again && *again == *entries);
    }
    const auto presets = AppPresetsStore::decode(json);
    if (!presets) return 0;
    const auto written = AppPresetsStore::encode(*presets);
    FUZZ_CHECK(written);
    const auto reread = AppPresetsStore::decode(*written);
    FUZZ_CHECK(reread);
    FUZZ_CHECK(reread->size() == presets->size());
    for (qsizetype i = 0; i < presets->size(); ++i) {
        const ViewportPreset& before = presets->at(i);
        const ViewportPreset& after = reread->at(i);
        FUZZ_CHECK(after.id == before.id && after.width == before.width &&
                   after.height == before.height && after.enabled == before.enabled);
        // A lone surrogate (an escaped U+D800) cannot be written as UTF-8 and becomes a replacement
        // character; every valid name comes back as it was.
        if (before.name.isValidUtf16()) FUZZ_CHECK(after.name == before.name);
    }
    FUZZ_CHECK(AppPresetsStore::encode(*reread) == written);
    return 0;
}
