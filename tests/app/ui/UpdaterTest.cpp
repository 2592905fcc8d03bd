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
    const QString served = feed.url(QStringLiteral("/latest.json")).toString();
    QString closed;
    {
        test::TestWebServer gone;
        closed = gone.url(QStringLiteral("/latest.json")).toString();
    }
    const QString failed = QStringLiteral("Pintora could not check for updates.");
    const struct {
        QString url;
        int status;
        QByteArray body;
        Kind kind;
        QString text;
        QString detail;
    } cases[] = {
        {served, 200, R"({"version":"0.3.1","url":"https://example.org/r/0.3.1"})", Kind::available,
         "Pintora 0.3.1 is available; you have 0.1.0.", "https://example.org/r/0.3.1"},
        {served, 200, R"({"version":"0.1.0","url":"https://example.org/r/0.1.0"})", Kind::upToDate,
         "Pintora 0.1.0 is the newest version.", "https://example.org/r/0.1.0"},
        {served, 404, "{}", Kind::failed, failed, "replied"},
        {served, 200, "<html>", Kind::failed, failed, "not a JSON object"},
        {served, 200, R"({"version":"soon","url":"https://e.org/"})", Kind::failed, failed,
         "no version number"},
        {served, 200, R"({"version":"1.0","url":"file:///etc/passwd"})", Kind::failed, failed,
         "no web page"},
        {closed, 200, {}, Kind::failed, failed, "refused"},
        // Plain HTTP from afar.
        {"http://releases.example.org/latest.json", 200, {}, Kind::failed, failed, "not an HTTPS"},
        {"not an address", 200, {}, Kind::failed, failed, "not an HTTPS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toStdString() + " " + c.body.toStdString());
        answer.status = c.status;
        answer.body = c.body;
        EXPECT_EQ(check(app, defaults, c.url).kind, c.kind);
        QMessageBox* dialog = app.updater().resultDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->text(), c.text);
        EXPECT_TRUE(dialog->informativeText().contains(c.detail))
            << dialog->informativeText().toStdString();
    }
}
