#include "shapes/ui/CropEditorDialog.h"

#include "canvas/DecodedImageCache.h"
#include "platform/ui/AccessibleRole.h"
#include "platform/ui/FocusRing.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <cmath>

namespace pintora {

namespace {
// Drags start once the pointer has travelled this far, as on the canvas.
constexpr double dragDistance = 10;
constexpr double handleRadius = 6;
} // namespace

CropArea::CropArea(const QImage& picture, QRectF crop, QWidget* parent)
    : QWidget(parent), picture_(picture), crop_(crop) {
    setMinimumSize(600, 380);
    setFocusPolicy(Qt::StrongFocus);
    repaintOnFocus(this);
    setAccessibleRole(this, QAccessible::Canvas);
    setAccessibleName(QStringLiteral("Crop area"));
    setCrop(crop);
}

void CropArea::setCrop(const QRectF& crop) {
    crop_ = crop;
    // What a screen reader says of the frame, in the picture's pixels.
    const QSizeF px = picture_.size();
    setAccessibleDescription(QStringLiteral("%1 × %2 pixels from %3, %4. Arrow keys move the "
                                            "crop, Ctrl+arrow keys resize it, Shift by 10 pixels")
                                 .arg(qRound(crop.width() * px.width()))
                                 .arg(qRound(crop.height() * px.height()))
                                 .arg(qRound(crop.x() * px.width()))
                                 .arg(qRound(crop.y() * px.height())));
    update();
}

void CropArea::keyPressEvent(QKeyEvent* event) {
    QPoint by;
    switch (event->key()) {
    case Qt::Key_Left:
        by = {-1, 0};
        break;
    case Qt::Key_Right:
        by = {1, 0};
        break;
    case Qt::Key_Up:
        by = {0, -1};
        break;
    case Qt::Key_Down:
        by = {0, 1};
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (picture_.isNull()) return;
    if (event->modifiers() & Qt::ShiftModifier) by *= 10;
    const CropTarget target =
        event->modifiers() & Qt::ControlModifier ? CropTarget::se : CropTarget::body;
    setCrop(draggedCrop(
        target, crop_,
        QPointF(double(by.x()) / picture_.width(), double(by.y()) / picture_.height())));
}

QRectF CropArea::imageRect() const {
    if (picture_.isNull()) return {};
    return cropImageRect(size(), picture_.size());
}

QRectF CropArea::cropInView() const {
    const QRectF r = imageRect();
    return {r.left() + crop_.x() * r.width(), r.top() + crop_.y() * r.height(),
            crop_.width() * r.width(), crop_.height() * r.height()};
}

std::optional<CropTarget> CropArea::targetAt(QPointF p) const {
    if (picture_.isNull()) return std::nullopt;
    const QRectF c = cropInView();
    const std::array<std::pair<CropTarget, QPointF>, 8> handles{{
        {CropTarget::nw, c.topLeft()},
        {CropTarget::n, QPointF(c.center().x(), c.top())},
        {CropTarget::ne, c.topRight()},
        {CropTarget::e, QPointF(c.right(), c.center().y())},
        {CropTarget::se, c.bottomRight()},
        {CropTarget::s, QPointF(c.center().x(), c.bottom())},
        {CropTarget::sw, c.bottomLeft()},
        {CropTarget::w, QPointF(c.left(), c.center().y())},
    }};
    for (const auto& [target, centre] : handles) {
        if (std::hypot(p.x() - centre.x(), p.y() - centre.y()) <= handleRadius + 2) return target;
    }
    if (c.contains(p)) return CropTarget::body;
    return std::nullopt;
}

void CropArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    if (picture_.isNull()) return;
    const QRectF image = imageRect();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(image, picture_);
    const QRectF c = cropInView();
    const QColor shade(0, 0, 0, 115);
    p.fillRect(QRectF(image.left(), image.top(), image.width(), c.top() - image.top()), shade);
    p.fillRect(QRectF(image.left(), c.bottom(), image.width(), image.bottom() - c.bottom()), shade);
    p.fillRect(QRectF(image.left(), c.top(), c.left() - image.left(), c.height()), shade);
    p.fillRect(QRectF(c.right(), c.top(), image.right() - c.right(), c.height()), shade);
    // The frame takes the accent colour while the keys move it.
    p.setPen(hasFocus() ? QPen(palette().color(QPalette::Highlight), 2) : QPen(Qt::white, 1));
    p.drawRect(c.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0, 0, 0, 153), 0.5));
    for (QPointF centre :
         {c.topLeft(), QPointF(c.center().x(), c.top()), c.topRight(),
          QPointF(c.right(), c.center().y()), c.bottomRight(), QPointF(c.center().x(), c.bottom()),
          c.bottomLeft(), QPointF(c.left(), c.center().y())}) {
        p.drawEllipse(centre, handleRadius, handleRadius);
    }
}

void CropArea::mousePressEvent(QMouseEvent* event) {
    target_ = targetAt(event->position());
    pressPoint_ = event->position();
    dragging_ = false;
}

void CropArea::mouseMoveEvent(QMouseEvent* event) {
    if (!target_) return;
    const QPointF t = event->position() - pressPoint_;
    if (!dragging_ && std::hypot(t.x(), t.y()) < dragDistance) return;
    dragging_ = true;
    setCrop(drag_.change(*target_, crop_, QSizeF(t.x(), t.y()), imageRect()));
}

void CropArea::mouseReleaseEvent(QMouseEvent*) {
    drag_.finish();
    target_.reset();
    dragging_ = false;
}

CropEditorDialog::CropEditorDialog(const ImageItem& item, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Crop Image"));
    setWindowModality(Qt::WindowModal);
    setMinimumSize(680, 520);
    resize(820, 620);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto* title = new QLabel(QStringLiteral("Crop Image"), this);
    QFont headline = title->font();
    headline.setBold(true);
    title->setFont(headline);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    area_ = new CropArea(decodePicture(item.pngData), item.cropRect, this);
    column->addWidget(area_, 1);
    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(QStringLiteral("Reset"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    // Return presses the focused button, and Done when no button has the keyboard.
    done->setDefault(true);
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(done);
    column->addLayout(buttons);
    connect(reset, &QPushButton::clicked, this, [this] { area_->setCrop(fullCrop); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}

QRectF CropEditorDialog::crop() const {
    return area_->crop();
}

} // namespace pintora
