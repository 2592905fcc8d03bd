#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <functional>

namespace pintora::test {

// A small HTTP/1.0 server on 127.0.0.1 for web tests: one handler per path; a handler that
// answers nothing keeps the connection open, so the page never finishes loading.
class TestWebServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray path;
        QByteArray cookie;
    };
    struct Response {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body{};
        QList<QByteArray> headers{}; // extra lines, "Name: value"
        bool hang = false;
        int delayMs = 0; // the answer comes this much later
    };
    using Handler = std::function<Response(const Request&)>;

    TestWebServer();
    QUrl url(const QString& path) const;
    void route(const QByteArray& path, Handler handler) {
        routes_.insert(path, std::move(handler));
    }
    // The same answer to every request.
    void route(const QByteArray& path, Response response) {
        route(path, [response](const Request&) { return response; });
    }
    void page(const QByteArray& path, const QByteArray& html);
    QList<Request> requests() const { return requests_; }

    // A page of `height` CSS pixels on a white body: a red band at the top, a blue one at the
    // bottom, and bands of grey between, without margins.
    static QByteArray tallPage(int height, const QByteArray& title = "Tall");

private:
    void serve(class QTcpSocket* socket);

    QTcpServer server_;
    QHash<QByteArray, Handler> routes_;
    QList<Request> requests_;
};

} // namespace pintora::test
