// The CLI's --urls lists: whatever a list holds, every address read has a scheme, and a list
// refused says why.
#include "capture/AddressText.h"
#include "FuzzCheck.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::optional<QList<QUrl>> urls = parseAddressList(text, QStringLiteral("list"), &error);
    FUZZ_CHECK(urls.has_value() == error.isEmpty());
    if (urls) {
        FUZZ_CHECK(!urls->isEmpty());
        for (const QUrl& url : *urls)
            FUZZ_CHECK(url.isValid() && !url.scheme().isEmpty());
    } else {
        FUZZ_CHECK(error.startsWith(QStringLiteral("list:")));
    }
    return 0;
}
