// Other browsers' session files and DevTools answers: whatever they hold, reading them must
// neither crash nor yield a tab without an address.
#include "capture/ChromiumSession.h"
#include "capture/FirefoxSession.h"

#include <cstdint>
#include <cstdlib>

using namespace pintora;

namespace {
void check(const QList<ImportedTab>& tabs) {
    for (const ImportedTab& tab : tabs) {
        if (tab.url.isEmpty()) std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    check(tabsFromChromiumSession(bytes, QStringLiteral("Chromium")));
    check(tabsFromDevToolsList(bytes, QStringLiteral("Chromium")));
    check(tabsFromFirefoxSession(bytes, QStringLiteral("Firefox")));
    if (const auto json = decodeMozLz4(bytes, 1 << 20)) {
        check(tabsFromFirefoxSession(*json, QStringLiteral("Firefox")));
    }
    return 0;
}
