#include "platform/PortalScreenshot.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(PortalScreenshot, TheAnswerIsAwaitedWhereThePortalSendsItAndReadAsTheUserGaveIt) {
    EXPECT_EQ(PortalScreenshot::requestPath(":1.42", "pintora7"),
              "/org/freedesktop/portal/desktop/request/1_42/pintora7");
    struct Case {
        uint response;
        QVariantMap results;
        QString file;
        bool failed;
    };
    const QVariantMap saved{{"uri", "file:///tmp/Screenshot%20from%20now.png"}};
    const Case cases[] = {
        {0, saved, "/tmp/Screenshot from now.png", false},
        {1, {}, {}, false}, // cancelled on the desktop's screen
        {2, saved, {}, true},
        {0, {{"uri", "https://example.org/shot.png"}}, {}, true},
        {0, {}, {}, true},
    };
    for (const Case& k : cases) {
        bool failed = false;
        EXPECT_EQ(PortalScreenshot::pictureFile(k.response, k.results, &failed), k.file)
            << k.response;
        EXPECT_EQ(failed, k.failed) << k.response;
    }
}
