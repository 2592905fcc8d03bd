#include "app/ReleaseFeed.h"

#include <gtest/gtest.h>

using namespace pintora;

// What the updater makes of a feed, good or bad, is checked through its dialog.
TEST(ReleaseFeedTest, VersionsCompareAsNumbers) {
    const struct {
        const char* candidate;
        const char* current;
        bool newer;
    } cases[] = {
        {"1.10.0", "1.9.3", true},      {"v1.0.0", "0.9", true}, {"0.1", "0.1.0", false},
        {"1.0.0-beta", "0.1.0", false}, {"", "0.1.0", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReleaseFeed::isNewer(QLatin1String(c.candidate), QLatin1String(c.current)),
                  c.newer)
            << c.candidate << " vs " << c.current;
}
