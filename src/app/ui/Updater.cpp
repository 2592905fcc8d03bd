#include "app/ui/Updater.h"

#include "app/ReleaseFeed.h"
#include "platform/UserDefaults.h"

#include <QHostAddress>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace pintora {

namespace {
Updater* instance = nullptr;
constexpr int transferTimeoutMs = 15000;
constexpr qint64 largestFeed = 1 << 20;

Updater::Result failure(const QString& why) {
    return {Updater::Result::Kind::failed, {}, {}, why};
}
} // namespace

Updater::Updater(UserDefaults& defaults, const QString& currentVersion, QObject* parent)
    : QObject(parent), defaults_(defaults), currentVersion_(currentVersion),
      network_(new QNetworkAccessManager(this)) {
    Q_ASSERT(!instance);
    instance = this;
}

Updater::~Updater() {
    delete dialog_;
    instance = nullptr;
}

QMessageBox* Updater::resultDialog() const {
    return dialog_;
}

Updater* Updater::shared() {
    return instance;
}

bool Updater::isAllowedFeed(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) return false;
    if (url.scheme() == QLatin1String("https")) return true;
    return url.scheme() == QLatin1String("http") && QHostAddress(url.host()).isLoopback();
}

void Updater::checkForUpdates() {
    if (checking_) return;
    const QUrl feed(defaults_.updateFeedURL());
    if (!isAllowedFeed(feed)) {
        finish(failure(tr("The release feed address “%1” is not an HTTPS address.")
                           .arg(defaults_.updateFeedURL())));
        return;
    }
    checking_ = true;
    QNetworkRequest request(feed);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > largestFeed) reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        checking_ = false;
        if (reply->error() != QNetworkReply::NoError) {
            finish(failure(reply->errorString()));
            return;
        }
        const auto feed = ReleaseFeed::parse(reply->readAll());
        if (!feed) {
            finish(failure(feed.error()));
            return;
        }
        const auto kind = ReleaseFeed::isNewer(feed.value().version, currentVersion_)
                              ? Result::Kind::available
                              : Result::Kind::upToDate;
        finish({kind, feed.value().version, feed.value().url, {}});
    });
}

void Updater::finish(const Result& result) {
    delete dialog_;
    dialog_ = new QMessageBox(QMessageBox::Information, tr("Check for Updates"), QString());
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setTextFormat(Qt::RichText);
    dialog_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    switch (result.kind) {
    case Result::Kind::available:
        dialog_->setText(tr("Pintora %1 is available; you have %2.")
                             .arg(result.version.toHtmlEscaped(), currentVersion_));
        dialog_->setInformativeText(tr("<a href=\"%1\">Get the new release</a>")
                                        .arg(result.url.toString(QUrl::FullyEncoded)));
        break;
    case Result::Kind::upToDate:
        dialog_->setText(tr("Pintora %1 is the newest version.").arg(currentVersion_));
        dialog_->setInformativeText(
            tr("<a href=\"%1\">Release notes</a>").arg(result.url.toString(QUrl::FullyEncoded)));
        break;
    case Result::Kind::failed:
        dialog_->setIcon(QMessageBox::Warning);
        dialog_->setText(tr("Pintora could not check for updates."));
        dialog_->setInformativeText(result.error.toHtmlEscaped());
        break;
    }
    // Links open in the browser, not in the dialog.
    for (QLabel* label : dialog_->findChildren<QLabel*>())
        label->setOpenExternalLinks(true);
    dialog_->open();
    emit checked(result);
}

} // namespace pintora
