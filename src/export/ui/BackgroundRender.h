#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class QProgressDialog;
class QWidget;

namespace pintora {

// The canvas rendered to PNG on a worker thread, so the window stays live however large the
// canvas is. It starts at once on a copy of the state, with the pictures the window has
// already decoded; `finished` comes on the window's thread. Deleting it stops the render.
class BackgroundRender : public QObject {
    Q_OBJECT
public:
    explicit BackgroundRender(const CanvasState& state, QObject* parent = nullptr);
    ~BackgroundRender() override;

    // A progress window over `window`, shown only once the render has taken a second; its
    // Cancel stops the render, which then finishes with nothing and no problem.
    void showProgressOver(QWidget* window, const QString& label);
    void cancel();

signals:
    // The PNG, or none and why (empty when there is nothing to say: no items, cancelled).
    void finished(const std::optional<QByteArray>& png, const QString& problem);

private:
    void progressed(double share);
    void done(const std::optional<QByteArray>& png, const QString& problem);

    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    QPointer<QProgressDialog> progress_;
    bool running_ = true;
};

} // namespace pintora
