#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace pintora {

// One running application per user and data folder: a later launch passes its files to it.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // Hands `files` to a running instance and returns true; otherwise starts listening for
    // later launches and returns false.
    bool forwardToRunning(const QStringList& files);

signals:
    // Another launch asked for these files; none means it asked to be shown.
    void openRequested(const QStringList& files);

private:
    QString serverName_;
    QLocalServer* server_ = nullptr;
};

} // namespace pintora
