#include "support/TestWebServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace pintora::test {

TestWebServer::TestWebServer() {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

QUrl TestWebServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void TestWebServer::page(const QByteArray& path, const QByteArray& html) {
    route(path, Response{.body = html});
}

QByteArray TestWebServer::tallPage(int height, const QByteArray& title) {
    QByteArray html = "<!doctype html><html><head><title>" + title +
                      "</title><style>html,body{margin:0;padding:0;background:#fff}"
                      "div{margin:0;width:100%}</style></head><body>";
    const int band = 100;
    html += "<div style='height:" + QByteArray::number(band) + "px;background:#ff0000'></div>";
    for (int y = band, i = 0; y < height - band; y += band, ++i) {
        const int h = std::min(band, height - band - y);
        const QByteArray grey = QByteArray::number(80 + (i * 37) % 150);
        html += "<div style='height:" + QByteArray::number(h) + "px;background:rgb(" + grey + "," +
                grey + "," + grey + ")'></div>";
    }
    html += "<div style='height:" + QByteArray::number(band) + "px;background:#0000ff'></div>";
    return html + "</body></html>";
}

void TestWebServer::serve(QTcpSocket* socket) {
    const QByteArray buffer = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("head", buffer); // the head arrives in parts
        return;
    }
    socket->setProperty("head", QByteArray());
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.path = first.value(1);
    for (const QByteArray& line : lines)
        if (line.toLower().startsWith("cookie:")) request.cookie = line.mid(7).trimmed();
    requests_.append(request);
    const QByteArray path = request.path.split('?').value(0);
    Response response;
    if (const auto it = routes_.constFind(path); it != routes_.cend())
        response = (*it)(request);
    else
        response = Response{404, "text/plain", "not found"};
    if (response.hang) return;
    QByteArray out = "HTTP/1.0 " + QByteArray::number(response.status) +
                     " X\r\nContent-Type: " + response.contentType +
                     "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                     "\r\nCache-Control: no-store\r\nConnection: close\r\n";
    for (const QByteArray& header : response.headers)
        out += header + "\r\n";
    out += "\r\n" + response.body;
    QTimer::singleShot(response.delayMs, socket, [socket, out] {
        socket->write(out);
        socket->disconnectFromHost();
    });
}

} // namespace pintora::test
