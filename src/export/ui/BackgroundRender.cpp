#include "export/ui/BackgroundRender.h"

#include "canvas/DecodedImageCache.h"
#include "export/PngRenderer.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QThreadPool>

namespace pintora {

BackgroundRender::BackgroundRender(const CanvasState& state, QObject* parent) : QObject(parent) {
    // Read here, on the window's thread: the cache is the window's.
    DecodedPictures decoded;
    for (const CanvasItem& item : state.items)
        if (item.image())
            if (QImage kept = DecodedImageCache::shared().kept(item.id()); !kept.isNull())
                decoded.insert(item.id(), kept);
    const QPointer<BackgroundRender> self(this);
    QThreadPool::globalInstance()->start([state, decoded, self, stop = stop_] {
        const auto post = [](auto call) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call),
                                      Qt::QueuedConnection);
        };
        QString problem;
        const std::optional<QByteArray> png =
            renderPNG(state, &problem, decoded, [&](double share) {
                post([self, share] {
                    if (self) self->progressed(share);
                });
                return !stop->load();
            });
        post([self, png, problem, stop] {
            if (self && !stop->load()) self->done(png, problem);
        });
    });
}

BackgroundRender::~BackgroundRender() {
    cancel();
}

void BackgroundRender::cancel() {
    stop_->store(true);
    if (progress_) progress_->deleteLater();
    running_ = false;
}

void BackgroundRender::showProgressOver(QWidget* window, const QString& label) {
    if (!running_ || progress_) return;
    progress_ = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 1000, window);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    progress_->setWindowModality(Qt::NonModal); // the window stays in the user's hands
    progress_->setMinimumDuration(1000);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
    connect(progress_, &QProgressDialog::canceled, this, [this] {
        cancel();
        emit finished(std::nullopt, QString());
    });
}

void BackgroundRender::progressed(double share) {
    if (progress_) progress_->setValue(int(share * 1000));
}

void BackgroundRender::done(const std::optional<QByteArray>& png, const QString& problem) {
    running_ = false;
    if (progress_) progress_->deleteLater();
    emit finished(png, problem);
}

} // namespace pintora
