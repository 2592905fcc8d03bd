#pragma once

#include "model/CanvasState.h"

#include <QByteArray>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

namespace pintora {

class BackgroundRender;

// A small picture of the whole canvas that can be dragged out of the window as a PNG (bytes
// and a temporary file). The thumbnail is rendered at its own size again 0.15 s after the last
// change of the content token, so a burst of edits renders once; the full PNG is rendered
// only when the thumbnail is pressed, on a worker thread, and the drag starts once it is
// there if the button is still held (with a progress window past a second).
class DragOutThumb : public QWidget {
    Q_OBJECT
public:
    // The canvas a drag would carry now.
    using Provider = std::function<CanvasState()>;
    // The thumbnail within the given device pixels.
    using ThumbnailProvider = std::function<QImage(QSize)>;

    static constexpr int refreshDelayMs = 150;
    // The pointer must travel more than this before a drag starts.
    static constexpr double dragThreshold = 3;

    DragOutThumb(Provider provider, ThumbnailProvider thumbnail, QWidget* parent = nullptr);

    void setProvider(Provider provider) { provider_ = std::move(provider); }
    // Renders the thumbnail of the same content again soon: what it showed was not final.
    void refreshSoon();
    // The token of the content shown now; a new one schedules a render.
    void setContentToken(quint64 token);

    // The bytes the last drag carried.
    std::optional<QByteArray> cachedPNG() const { return cachedPNG_; }
    // The thumbnail shows the current content.
    bool isCacheCurrent() const { return cachedToken_ == contentToken_; }
    const QImage& thumbnailImage() const { return cachedImage_; }
    // Starts rendering the bytes a drag carries now, once per content; `pngReady` tells when
    // they are there.
    void preparePNG();

    // Writes the bytes as "Pintora <date time>.png" in a folder of this run's own that only
    // the user can read (in XDG_RUNTIME_DIR when set), removed with everything in it when the
    // program quits; returns its path, or nothing when it could not be written.
    static std::optional<QString> writeTempPNG(const QByteArray& png);
    // What a drag carries for the bytes: the PNG and the file's address; never the picture
    // decoded, which for a big canvas would take gigabytes.
    static QMimeData* dragData(const QByteArray& png, const std::optional<QString>& file);

signals:
    void pngReady();
    void dragStarted();
    void dragFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void refresh(quint64 token);
    void startDrag(const QByteArray& png);
    bool hasCurrentPNG() const { return cachedPNG_ && pngToken_ == contentToken_; }
    static void setPassesPointerThrough(QWidget* top, bool through);

    Provider provider_;
    ThumbnailProvider thumbnail_;
    std::optional<quint64> pngToken_; // the content `cachedPNG_` shows
    quint64 contentToken_ = 0;
    bool hasToken_ = false;
    std::optional<QByteArray> cachedPNG_;
    QImage cachedImage_;
    std::optional<quint64> cachedToken_;
    QTimer pendingRender_;
    quint64 pendingToken_ = 0;
    QPointer<BackgroundRender> rendering_;
    std::optional<quint64> renderingToken_;
    bool dragWanted_ = false; // the pointer left the threshold while the PNG was rendering
    std::optional<QPointF> mouseDownPoint_;
    QPointer<QPropertyAnimation> fade_;
    double restingOpacity_ = 1.0;
};

} // namespace pintora
