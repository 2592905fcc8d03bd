#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace pintora {

// A screenshot taken by the desktop's portal (org.freedesktop.portal.Screenshot), the only way
// a Wayland client may see other windows: the desktop's own screen lets the user pick a window
// or an area, and the portal answers with the file it saved.
class PortalScreenshot : public QObject {
    Q_OBJECT
public:
    explicit PortalScreenshot(QObject* parent = nullptr);

    // Whether the session's portal offers screenshots; asks it once it has answered yes.
    static bool available();
    // The object the portal announces its answer on, for a caller with the bus name `sender`
    // (":1.42") and the request's `token`.
    static QString requestPath(const QString& sender, const QString& token);
    // The picture's file from a Response signal's arguments; empty when the user cancelled, and
    // `failed` set when the portal could not take it.
    static QString pictureFile(uint response, const QVariantMap& results, bool* failed);

    // Asks for one screenshot; exactly one of the signals follows, once.
    void start(bool interactive);

signals:
    void taken(const QString& file);
    void cancelled();
    void failed(const QString& why);

private slots:
    void answer(uint response, const QVariantMap& results);

private:
    void listen(const QString& path);

    QString listening_;
    bool answered_ = false;
};

} // namespace pintora
