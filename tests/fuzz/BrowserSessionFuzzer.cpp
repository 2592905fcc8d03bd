// Other browsers' session files and DevTools answers: whatever they hold, reading them must
// neither crash nor yield a tab without an address.
#include "FuzzCheck.h"
#include "capture/ChromiumSession.h"
#include "capture/FirefoxSession.h"

#include <algorithm>
#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto check = [](const QList<ImportedTab>& tabs) {
        FUZZ_CHECK(
            std::ranges::none_of(tabs, [](const ImportedTab& t) { return t.url.isEmpty(); }));
    };
    check(tabsFromChromiumSession(bytes, QStringLiteral("Chromium")));
    check(tabsFromDevToolsList(bytes, QStringLiteral("Chromium")));
    check(tabsFromFirefoxSession(bytes, QStringLiteral("Firefox")));
    if (const auto json = decodeMozLz4(bytes, 1 << 20))
        check(tabsFromFirefoxSession(*json, QStringLiteral("Firefox")));
    return 0;
}
