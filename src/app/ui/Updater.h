#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

class QMessageBox;
class QNetworkAccessManager;

namespace pintora {

class UserDefaults;

// Tells the user whether a newer release exists, from the release feed named in the settings.
// It downloads and replaces nothing: the dialog links to the release page.
class Updater : public QObject {
    Q_OBJECT
public:
    struct Result {
        enum class Kind { upToDate, available, failed };
        Kind kind = Kind::failed;
        QString version; // of the newest release
        QUrl url;        // its page
        QString error;   // why the check failed
    };

    // The one updater of the process; `shared` reaches it once it exists.
    Updater(UserDefaults& defaults, const QString& currentVersion, QObject* parent = nullptr);
    ~Updater() override;
    static Updater* shared();

    bool canCheckForUpdates() const { return true; }
    // Asks the feed now and shows the answer in a dialog.
    void checkForUpdates();
    // The dialog of the last answer, while it is open.
    QMessageBox* resultDialog() const;

    // Plain HTTP is taken only from this machine (a feed served for testing).
    static bool isAllowedFeed(const QUrl& url);

signals:
    void checked(const pintora::Updater::Result& result);

private:
    void finish(const Result& result);

    UserDefaults& defaults_;
    QString currentVersion_;
    QNetworkAccessManager* network_;
    QPointer<QMessageBox> dialog_;
    bool checking_ = false;
};

} // namespace pintora
