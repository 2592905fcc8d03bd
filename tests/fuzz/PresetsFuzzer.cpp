// The stored viewport presets, as read from user defaults: any bytes either give no list or a
// list that writes and reads back equal.
#include "FuzzCheck.h"
#include "capture/AppPresetsStore.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto presets = AppPresetsStore::decode(json);
    if (!presets) return 0;
    const auto written = AppPresetsStore::encode(*presets);
    FUZZ_CHECK(written);
    const auto reread = AppPresetsStore::decode(*written);
    FUZZ_CHECK(reread);
    FUZZ_CHECK(*reread == *presets);
    return 0;
}
