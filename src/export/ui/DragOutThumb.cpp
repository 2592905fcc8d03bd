#include "export/ui/DragOutThumb.h"

#include "export/ui/BackgroundRender.h"
#include "export/ui/ExportCommand.h"
#include "platform/ui/DisplayServer.h"
#include "platform/ui/Symbols.h"

#include <QDateTime>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>
#include <cmath>
#include <utility>

namespace pintora {

DragOutThumb::DragOutThumb(Provider provider, ThumbnailProvider thumbnail, QWidget* parent)
    : QWidget(parent), provider_(std::move(provider)), thumbnail_(std::move(thumbnail)) {
    setFixedSize(52, 32);
    setToolTip(QStringLiteral("Drag out as PNG"));
    setCursor(Qt::OpenHandCursor);
    pendingRender_.setSingleShot(true);
    pendingRender_.setInterval(refreshDelayMs);
    connect(&pendingRender_, &QTimer::timeout, this, [this] { refresh(pendingToken_); });
}

void DragOutThumb::setContentToken(quint64 token) {
    if (hasToken_ && token == contentToken_) return;
    hasToken_ = true;
    contentToken_ = token;
    pendingToken_ = token;
    pendingRender_.start(); // restarts: only the last of a burst renders
}

void DragOutThumb::refreshSoon() {
    if (!hasToken_) return;
    pendingToken_ = contentToken_;
    pendingRender_.start();
}

void DragOutThumb::refresh(quint64 token) {
    if (token != contentToken_) return;
    const QSize inner = rect().adjusted(2, 2, -2, -2).size();
    cachedImage_ = thumbnail_ ? thumbnail_(inner * devicePixelRatioF()) : QImage();
    cachedToken_ = token;
    update();
}

void DragOutThumb::preparePNG() {
    if (hasCurrentPNG()) {
        emit pngReady();
        return;
    }
    if (rendering_ && renderingToken_ == contentToken_) return;
    delete rendering_;
    if (!provider_) return;
    rendering_ = new BackgroundRender(provider_(), this);
    renderingToken_ = contentToken_;
    const quint64 token = contentToken_;
    connect(rendering_, &BackgroundRender::finished, this,
            [this, token](const std::optional<QByteArray>& png, const QString& problem) {
                rendering_->deleteLater();
                const bool wanted = std::exchange(dragWanted_, false);
                if (!png) {
                    if (!problem.isEmpty()) showRenderProblem(window(), problem);
                    return;
                }
                cachedPNG_ = png;
                pngToken_ = token;
                emit pngReady();
                // The drag the user began while it rendered, if the button is still down.
                if (wanted && QGuiApplication::mouseButtons() & Qt::LeftButton) startDrag(*png);
            });
    rendering_->showProgressOver(window(), QStringLiteral("Preparing the picture to drag…"));
}

void DragOutThumb::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 4, 4);
    painter.fillPath(frame, palette().color(QPalette::Base));
    if (!cachedImage_.isNull()) {
        const QRectF inner = QRectF(rect()).adjusted(2, 2, -2, -2);
        const double aspect = double(cachedImage_.width()) / std::max(cachedImage_.height(), 1);
        QRectF target;
        if (aspect <= inner.width() / inner.height()) {
            const double w = aspect * inner.height();
            target = QRectF(inner.center().x() - w / 2, inner.top(), w, inner.height());
        } else {
            const double h = inner.width() / aspect;
            target = QRectF(inner.left(), inner.center().y() - h / 2, inner.width(), h);
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, cachedImage_);
    } else {
        const QIcon placeholder =
            tintedSymbol(QStringLiteral("photo"), palette().color(QPalette::PlaceholderText));
        placeholder.paint(&painter, rect().adjusted(14, 8, -14, -8));
    }
    QColor border = palette().color(QPalette::PlaceholderText);
    border.setAlphaF(0.4f);
    painter.setPen(QPen(border, 0.5));
    painter.drawPath(frame);
}

void DragOutThumb::mousePressEvent(QMouseEvent* event) {
    mouseDownPoint_ = event->position();
    dragWanted_ = false;
    preparePNG(); // a head start while the pointer travels the threshold
}

void DragOutThumb::mouseMoveEvent(QMouseEvent* event) {
    if (!mouseDownPoint_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPointF d = event->position() - *mouseDownPoint_;
    if (std::hypot(d.x(), d.y()) <= dragThreshold) return;
    mouseDownPoint_.reset();
    if (hasCurrentPNG()) {
        startDrag(*cachedPNG_);
    } else {
        dragWanted_ = true;
        preparePNG();
    }
}

namespace {
// A folder of this run's own that only this user can read, in the session's runtime folder
// when there is one (the system's temporary one else); it goes when the program quits.
QTemporaryDir& exportsFolder() {
    static QTemporaryDir folder([] {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const QString base = !runtime.isEmpty() && QFileInfo(runtime).isDir()
                                 ? runtime
                                 : QStandardPaths::writableLocation(QStandardPaths::TempLocation);
        return base + QStringLiteral("/PintoraExports-XXXXXX");
    }());
    return folder;
}
} // namespace

std::optional<QString> DragOutThumb::writeTempPNG(const QByteArray& png) {
    QTemporaryDir& folder = exportsFolder();
    if (!folder.isValid()) return std::nullopt;
    const QString dir = folder.path();
    const QString name =
        QStringLiteral("Pintora ") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")) +
        QStringLiteral(".png");
    QSaveFile file(dir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        return std::nullopt;
    }
    return file.fileName();
}

QMimeData* DragOutThumb::dragData(const QByteArray& png, const std::optional<QString>& file) {
    auto* mime = new QMimeData;
    if (file) mime->setUrls({QUrl::fromLocalFile(*file)});
    mime->setData(QStringLiteral("image/png"), png);
    return mime;
}

void DragOutThumb::setPassesPointerThrough(QWidget* top, bool through) {
    // On the native window alone: changing the widget's flags would hide and recreate it.
    if (QWindow* handle = top->windowHandle()) {
        handle->setFlag(Qt::WindowTransparentForInput, through);
    }
}

void DragOutThumb::startDrag(const QByteArray& png) {
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData(png, writeTempPNG(png)));
    // The picture under the pointer is a thumbnail twice the size, from the pictures' small
    // copies: the PNG itself is never decoded here.
    const QImage picture = thumbnail_ ? thumbnail_(size() * 2 * devicePixelRatioF()) : QImage();
    if (!picture.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(picture);
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        drag->setPixmap(pixmap);
    }
    // While dragging, the window turns see-through so that what lies behind shows, and lets the
    // pointer through so that what lies behind takes the drop.
    QWidget* top = window();
    // A drag begun while the last one still fades back returns to where that one would have.
    if (!fade_) restingOpacity_ = top->windowOpacity();
    auto fade = [this, top](double to, int ms) {
        if (fade_) fade_->stop(); // the fade back takes over from a fade still running
        auto* animation = new QPropertyAnimation(top, "windowOpacity", top);
        fade_ = animation;
        animation->setDuration(ms);
        animation->setEndValue(to);
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    };
    // A Wayland client can rely on neither: there the drag is an ordinary one, onto a window
    // beside this one (a tiled desktop) or in front of it once the desktop brings it forward.
    const bool seeThrough = !onWayland();
    if (seeThrough) {
        setPassesPointerThrough(top, true);
        fade(0.15, 120);
    }
    emit dragStarted();
    drag->exec(Qt::CopyAction);
    if (seeThrough) {
        setPassesPointerThrough(top, false);
        fade(restingOpacity_, 180);
    }
    emit dragFinished();
}

} // namespace pintora
