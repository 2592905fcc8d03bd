#include "app/ui/SingleInstance.h"

#include "app/Drafts.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace pintora {

namespace {
constexpr int connectTimeoutMs = 1000;
constexpr int writeTimeoutMs = 5000;
} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    // Named after the data folder, so separate homes (and tests) never meet.
    const QByteArray key =
        QCryptographicHash::hash(drafts::directory().toUtf8(), QCryptographicHash::Sha1).toHex();
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) runtime = QDir::tempPath();
    serverName_ = runtime + QStringLiteral("/pintora-") + QString::fromLatin1(key.left(16));
}

bool SingleInstance::forwardToRunning(const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (socket.waitForConnected(connectTimeoutMs)) {
        QByteArray message;
        QDataStream out(&message, QIODevice::WriteOnly);
        out << files;
        socket.write(message);
        if (socket.waitForBytesWritten(writeTimeoutMs)) {
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(writeTimeoutMs);
            return true;
        }
    }
    // Nobody answers: a socket left by a crashed run is in the way.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) return false; // runs on alone
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, this, [this, client] {
                QStringList files;
                QDataStream stream(client->readAll());
                stream >> files;
                client->deleteLater();
                if (stream.status() == QDataStream::Ok) emit openRequested(files);
            });
        }
    });
    return false;
}

} // namespace pintora
