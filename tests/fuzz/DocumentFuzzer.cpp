// Document files: any bytes either fail with a message or give a state that writes and reads
// back equal.
#include "FuzzCheck.h"
#include "model/DocumentCodec.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString startPage = QStringLiteral("https://start.example/");
    const auto read = decodeCanvasState(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), startPage);
    if (!read.ok()) {
        FUZZ_CHECK(!read.error().isEmpty());
        return 0;
    }
    const auto written = encodeCanvasStateToBytes(read.value());
    FUZZ_CHECK(written.ok());
    const auto reread = decodeCanvasState(written.value(), startPage);
    FUZZ_CHECK(reread.ok());
    FUZZ_CHECK(reread.value() == read.value());
    return 0;
}
