// Copied items from another process: any bytes either fail or give items that copy back equal.
#include "FuzzCheck.h"
#include "model/DocumentCodec.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read =
        decodeItems(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!read.ok()) {
        FUZZ_CHECK(!read.error().isEmpty());
        return 0;
    }
    const auto written = encodeItems(read.value());
    FUZZ_CHECK(written.ok());
    const auto reread = decodeItems(written.value());
    FUZZ_CHECK(reread.ok());
    FUZZ_CHECK(reread.value() == read.value());
    return 0;
}
