// Document files and items copied from another process: any bytes either fail with a message or
// give a state (or items) that writes and reads back equal.
#include "FuzzCheck.h"
#include "model/DocumentCodec.h"

#include <cstdint>

using namespace pintora;

namespace {
template <class Decode, class Encode>
void roundTrip(QByteArrayView bytes, Decode decode, Encode encode) {
    const auto read = decode(bytes);
    if (!read.ok()) {
        FUZZ_CHECK(!read.error().isEmpty());
        return;
    }
    const auto written = encode(read.value());
    FUZZ_CHECK(written.ok());
    const auto reread = decode(written.value());
    FUZZ_CHECK(reread.ok());
    FUZZ_CHECK(reread.value() == read.value());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto document = [](QByteArrayView json) {
        return decodeCanvasState(json, QStringLiteral("https://start.example/"));
    };
    roundTrip(bytes, document, [](const CanvasState& s) { return encodeCanvasStateToBytes(s); });
    roundTrip(
        bytes, [](QByteArrayView json) { return decodeItems(json); },
        [](const QList<CanvasItem>& items) { return encodeItems(items); });
    return 0;
}
