#pragma once

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

// A small picture of the whole canvas that can be dragged out of the window as a PNG (bytes,
// a temporary file and, where Qt can write it, TIFF). It renders again 0.15 s after the last
// change of the content token, so a burst of edits renders once.
class DragOutThumb : public QWidget {
    Q_OBJECT
public:
    using Provider = std::function<std::optional<QByteArray>()>;

    static constexpr int refreshDelayMs = 150;
    // The pointer must travel more than this before a drag starts.
    static constexpr double dragThreshold = 3;

    explicit DragOutThumb(Provider provider, QWidget* parent = nullptr);

    void setProvider(Provider provider) { provider_ = std::move(provider); }
    // The token of the content shown now; a new one schedules a render.
    void setContentToken(quint64 token);

    std::optional<QByteArray> cachedPNG() const { return cachedPNG_; }
    bool isCacheCurrent() const { return cachedToken_ == contentToken_; }
    // The bytes a drag carries now: the cache when it is current, else a render made now.
    std::optional<QByteArray> currentPNG();

    // Writes the bytes as "Pintora <date time>.png" under PintoraExports in the temporary
    // directory; returns its path, or nothing when it could not be written.
    static std::optional<QString> writeTempPNG(const QByteArray& png);
    // What a drag carries for the bytes: PNG, TIFF when Qt writes it, and the file's address.
    static QMimeData* dragData(const QByteArray& png, const std::optional<QString>& file);

signals:
    void dragStarted();
    void dragFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void refresh(quint64 token);
    void startDrag();
    static void setPassesPointerThrough(QWidget* top, bool through);

    Provider provider_;
    quint64 contentToken_ = 0;
    bool hasToken_ = false;
    std::optional<QByteArray> cachedPNG_;
    QImage cachedImage_;
    std::optional<quint64> cachedToken_;
    QTimer pendingRender_;
    quint64 pendingToken_ = 0;
    std::optional<QPointF> mouseDownPoint_;
    QPointer<QPropertyAnimation> fade_;
    double restingOpacity_ = 1.0;
};

} // namespace pintora
