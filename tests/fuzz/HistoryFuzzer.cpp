// The stored browsing history: whatever the settings hold, reading it never crashes, and what
// it reads is written back and read again the same.
#include "capture/BrowsingHistoryStore.h"
#include "FuzzCheck.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QList<HistoryEntry>> entries = BrowsingHistoryStore::decode(json);
    if (!entries) return 0;
    const std::optional<QByteArray> written = BrowsingHistoryStore::encode(*entries);
    FUZZ_CHECK(written);
    const std::optional<QList<HistoryEntry>> again = BrowsingHistoryStore::decode(*written);
    FUZZ_CHECK(again && *again == *entries);
    return 0;
}
