// The release feed, from the network: whatever it sends, reading it never crashes, and no two
// versions are each newer than the other.
#include "app/ReleaseFeed.h"
#include "FuzzCheck.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto feed = ReleaseFeed::parse(json);
    const QString version = feed ? feed.value().version : QString::fromUtf8(json.left(40));
    for (const char* current : {"1.0.0", "0.9", "v2", "1.10.3", ""}) {
        const QString other = QString::fromLatin1(current);
        FUZZ_CHECK(!(ReleaseFeed::isNewer(version, other) && ReleaseFeed::isNewer(other, version)));
    }
    FUZZ_CHECK(!ReleaseFeed::isNewer(version, version));
    return 0;
}
