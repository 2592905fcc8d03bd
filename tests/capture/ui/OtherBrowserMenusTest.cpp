#include "capture/ui/OtherBrowserMenus.h"

#include "platform/CommandBus.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace pintora;

namespace {
QStringList titles(const QList<QAction*>& items) {
    QStringList out; // "~": disabled
    for (QAction* item : items)
        out << (item->isSeparator() ? QStringLiteral("---")
                                    : (item->isEnabled() ? "" : "~") + item->text());
    return out;
}
} // namespace

TEST(OtherBrowserMenus, TabsAreGroupedUnderTheirBrowsers) {
    QObject owner;
    EXPECT_EQ(titles(importMenuItems({}, {}, &owner)),
              (QStringList{"~Import URL from browser tab", "---", "~No browser tabs found"}));
    QStringList picked;
    const QList<QAction*> items = importMenuItems(
        {{"https://v/", "Vivaldi page", "Vivaldi"},
         {"https://c/", "", "Chromium"},
         {"https://c2/", "Q&A", "Chromium"}},
        [&](const QString& url) { picked << url; }, &owner);
    EXPECT_EQ(titles(items),
              (QStringList{"~Import URL from browser tab", "---", "~Chromium", "https://c/", "Q&&A",
                           "---", "~Vivaldi", "Vivaldi page"}));
    items[4]->trigger();
    EXPECT_EQ(picked, QStringList{"https://c2/"});
}

TEST(OtherBrowserMenus, ChoosingAWindowPostsItsNumber) {
    QObject owner;
    EXPECT_EQ(titles(windowMenuItems({}, &owner)),
              (QStringList{"~Capture a browser window", "---", "~No browser windows found"}));
    const QList<QAction*> items = windowMenuItems(
        {{0x2a00007, "Firefox", "Docs & Tips — Mozilla"}, {0x3c00001, "Chromium", ""}}, &owner);
    EXPECT_EQ(titles(items),
              (QStringList{"~Capture a browser window", "---",
                           QStringLiteral("Firefox \u2014 Docs && Tips — Mozilla"), "Chromium"}));
    QSignalSpy posted(&CommandBus::shared(), &CommandBus::posted);
    items[3]->trigger();
    ASSERT_EQ(posted.count(), 1);
    EXPECT_EQ(posted[0][0].toString(), command::captureBrowserWindow);
    EXPECT_EQ(posted[0][1].toMap().value(command::windowIDKey).toUInt(), 0x3c00001u);
}
