#include "app/ui/AppFixture.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace pintora;

namespace {
// A release feed on this machine: answers every request with one fixed HTTP response.
class FeedServer {
public:
    FeedServer() {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write(response);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/latest.json").arg(server.serverPort());
    }
    void answer(int status, const QByteArray& body) {
        const QByteArray reason = status == 200 ? "OK" : "Not Found";
        response = "HTTP/1.1 " + QByteArray::number(status) + " " + reason +
                   "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QTcpServer server;
    QByteArray response;
};

using UpdaterTest = test::AppFixture;
using Kind = Updater::Result::Kind;
} // namespace

TEST_F(UpdaterTest, TheFeedDecidesWhatTheDialogSays) {
    FeedServer feed;
    defaults.setUpdateFeedURL(feed.url());
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
        {200, "<html>maintenance</html>", Kind::failed, "Pintora could not check for updates.",
         "not a JSON object"},
        {404, "{}", Kind::failed, "Pintora could not check for updates.", "Not Found"},
    };
    for (const Case& c : cases) {
        feed.answer(c.status, c.body);
        QSignalSpy checked(&app.updater(), &Updater::checked);
        app.updater().checkForUpdates();
        ASSERT_TRUE(checked.wait()) << c.body.toStdString();
        EXPECT_EQ(checked[0][0].value<Updater::Result>().kind, c.kind);
        QMessageBox* dialog = app.updater().resultDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->text(), c.text);
        EXPECT_TRUE(dialog->informativeText().contains(c.detail))
            << dialog->informativeText().toStdString();
    }
}

TEST_F(UpdaterTest, WithoutAnAnsweringFeedItSaysItCouldNotCheck) {
    quint16 closedPort = 0;
    {
        FeedServer gone;
        closedPort = gone.server.serverPort();
    }
    const QString cases[] = {
        QStringLiteral("http://127.0.0.1:%1/latest.json").arg(closedPort),
        QStringLiteral("http://releases.example.org/latest.json"), // plain HTTP from afar
        QStringLiteral("not an address"),
    };
    for (const QString& url : cases) {
        defaults.setUpdateFeedURL(url);
        QSignalSpy checked(&app.updater(), &Updater::checked);
        app.updater().checkForUpdates();
        if (checked.isEmpty()) {
            ASSERT_TRUE(checked.wait()) << url.toStdString();
        }
        EXPECT_EQ(checked[0][0].value<Updater::Result>().kind, Kind::failed) << url.toStdString();
        EXPECT_EQ(app.updater().resultDialog()->text(), "Pintora could not check for updates.");
    }
    EXPECT_EQ(Updater::shared(), &app.updater());
}
