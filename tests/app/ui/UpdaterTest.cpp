#include "app/ui/AppFixture.h"
#include "support/TestWebServer.h"

#include <QMessageBox>
#include <QSignalSpy>

using namespace pintora;

namespace {
using UpdaterTest = test::AppFixture;
using Kind = Updater::Result::Kind;

// Runs one check against `url`; the result, with its dialog shown.
Updater::Result check(PintoraApp& app, UserDefaults& defaults, const QString& url) {
    defaults.setUpdateFeedURL(url);
    QSignalSpy checked(&app.updater(), &Updater::checked);
    app.updater().checkForUpdates();
    if (checked.isEmpty()) {
        EXPECT_TRUE(checked.wait()) << url.toStdString();
    }
    EXPECT_TRUE(app.updater().resultDialog() && app.updater().resultDialog()->isVisible());
    return checked.value(0).value(0).value<Updater::Result>();
}
} // namespace

TEST_F(UpdaterTest, TheFeedDecidesWhatTheDialogSays) {
    test::TestWebServer feed;
    test::TestWebServer::Response answer;
    feed.route("/latest.json", [&](const auto&) { return answer; });
    struct Case {
        int status;
        QByteArray body;
        Kind kind;
        QString text;
        QString detail;
    };
    const Case cases[] = {
        {200, R"({"version":"0.3.1","url":"https://example.org/r/0.3.1"})", Kind::available,
         "Pintora 0.3.1 is available; you have 0.1.0.", "https://example.org/r/0.3.1"},
        {200, R"({"version":"0.1.0","url":"https://example.org/r/0.1.0"})", Kind::upToDate,
         "Pintora 0.1.0 is the newest version.", "https://example.org/r/0.1.0"},
        {404, "{}", Kind::failed, "Pintora could not check for updates.", "replied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        answer.status = c.status;
        answer.body = c.body;
        EXPECT_EQ(check(app, defaults, feed.url(QStringLiteral("/latest.json")).toString()).kind,
                  c.kind);
        QMessageBox* dialog = app.updater().resultDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->text(), c.text);
        EXPECT_TRUE(dialog->informativeText().contains(c.detail))
            << dialog->informativeText().toStdString();
    }
}

TEST_F(UpdaterTest, WithoutAnAnsweringFeedItSaysItCouldNotCheck) {
    QString closed;
    {
        test::TestWebServer gone;
        closed = gone.url(QStringLiteral("/latest.json")).toString();
    }
    const QString cases[] = {
        closed,
        QStringLiteral("http://releases.example.org/latest.json"), // plain HTTP from afar
        QStringLiteral("not an address"),
    };
    for (const QString& url : cases) {
        EXPECT_EQ(check(app, defaults, url).kind, Kind::failed) << url.toStdString();
        EXPECT_EQ(app.updater().resultDialog()->text(), "Pintora could not check for updates.");
    }
}
