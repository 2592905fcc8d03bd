#include "shapes/ui/ItemToolbar.h"

#include "canvas/CanvasController.h"
#include "model/HexColor.h"
#include "model/PintoraDocument.h"
#include "platform/ui/Symbols.h"
#include "shapes/CropGeometry.h"
#include "shapes/ShapeGeometry.h"
#include "shapes/ui/NoteStyleSwatch.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QToolButton>

namespace pintora {

ItemToolbar::ItemToolbar(PintoraDocument& document, UserDefaults& defaults, QWidget* canvas)
    : QFrame(canvas), document_(document), defaults_(defaults), row_(new QHBoxLayout(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    row_->setSpacing(6);
    hide();
}

ItemToolbar::Kind ItemToolbar::kindOf(const CanvasItem* item) {
    if (!item) return Kind::none;
    if (item->image()) return Kind::image;
    if (const ShapeItem* shape = item->shape()) {
        if (shape->kind == ShapeKind::callout) return Kind::callout;
        if (isLinear(shape->kind)) return Kind::linear;
        return Kind::none;
    }
    return isCard(item->text()->style) ? Kind::note : Kind::none;
}

void ItemToolbar::clear() {
    while (QLayoutItem* child = row_->takeAt(0)) {
        if (QWidget* w = child->widget()) w->deleteLater();
        delete child;
    }
    sizeSlider_ = nullptr;
}

QWidget* ItemToolbar::iconButton(const QString& symbol, const QString& tip, bool on,
                                 std::function<void()> action) {
    auto* button = new QToolButton(this);
    const QColor tint =
        on ? palette().color(QPalette::Highlight) : palette().color(QPalette::PlaceholderText);
    button->setIcon(tintedSymbol(symbol, tint));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setFixedSize(26, 22);
    button->setToolTip(tip);
    button->setCheckable(false);
    button->setProperty("on", on);
    connect(button, &QToolButton::clicked, this, std::move(action));
    row_->addWidget(button);
    return button;
}

void ItemToolbar::addDivider() {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFixedHeight(16);
    line->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 40);"));
    row_->addWidget(line);
}

void ItemToolbar::rebuild(const CanvasItem& item, Kind kind) {
    clear();
    QUndoStack* stack = document_.undoStack();
    const QUuid id = item.id();
    switch (kind) {
    case Kind::linear: {
        row_->setContentsMargins(8, 5, 8, 5);
        const ShapeItem& s = *item.shape();
        iconButton(QStringLiteral("arrowshape.left.fill"), QStringLiteral("Start arrowhead"),
                   s.hasStartHead, [this, id, s, stack] {
                       setArrowheads(document_, stack, id, !s.hasStartHead, s.hasEndHead);
                   });
        addDivider();
        iconButton(QStringLiteral("arrowshape.right.fill"), QStringLiteral("End arrowhead"),
                   s.hasEndHead, [this, id, s, stack] {
                       setArrowheads(document_, stack, id, s.hasStartHead, !s.hasEndHead);
                   });
        break;
    }
    case Kind::callout: {
        row_->setContentsMargins(8, 5, 8, 5);
        const ShapeItem& s = *item.shape();
        iconButton(QStringLiteral("circle"), QStringLiteral("Circle head"),
                   s.calloutHead == CalloutHead::circle, [this, id, stack] {
                       setCalloutHead(document_, stack, id, CalloutHead::circle);
                   });
        iconButton(QStringLiteral("square"), QStringLiteral("Rectangle head"),
                   s.calloutHead == CalloutHead::rect,
                   [this, id, stack] { setCalloutHead(document_, stack, id, CalloutHead::rect); });
        addDivider();
        sizeSlider_ = new QSlider(Qt::Horizontal, this);
        sizeSlider_->setRange(16, 1200);
        sizeSlider_->setFixedWidth(110);
        sizeSlider_->setValue(int(std::lround(s.calloutSize)));
        sizeSlider_->setToolTip(QStringLiteral("Head size"));
        connect(sizeSlider_, &QSlider::valueChanged, this, [this, id, stack](int v) {
            calloutSize_.valueChanged(document_, id, v);
            // A click on the track or a key is a whole change of its own.
            if (!sizeSlider_->isSliderDown()) {
                calloutSize_.released(document_, stack, defaults_, id);
            }
        });
        connect(sizeSlider_, &QSlider::sliderReleased, this,
                [this, id, stack] { calloutSize_.released(document_, stack, defaults_, id); });
        row_->addWidget(sizeSlider_);
        break;
    }
    case Kind::note: {
        row_->setContentsMargins(8, 5, 8, 5);
        row_->setSpacing(4);
        for (TextStyle style : {TextStyle::critical, TextStyle::warning, TextStyle::success}) {
            auto* swatch = new NoteStyleSwatch(style, this);
            swatch->setChecked(item.text()->style == style);
            connect(swatch, &QToolButton::clicked, this,
                    [this, id, style, stack] { setNoteStyle(document_, stack, id, style); });
            row_->addWidget(swatch);
        }
        break;
    }
    case Kind::image: {
        row_->setContentsMargins(6, 4, 6, 4);
        auto* crop = new QToolButton(this);
        crop->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        crop->setIcon(tintedSymbol(QStringLiteral("crop"), palette().color(QPalette::Text)));
        crop->setText(QStringLiteral("Crop"));
        crop->setAutoRaise(true);
        crop->setToolTip(QStringLiteral("Crop image"));
        connect(crop, &QToolButton::clicked, this, [this, id] { emit cropRequested(id); });
        row_->addWidget(crop);
        if (isCropped(*item.image())) {
            addDivider();
            iconButton(QStringLiteral("arrow.uturn.backward"), QStringLiteral("Reset crop"), false,
                       [this, id, stack] { resetCrop(document_, stack, id); });
        }
        break;
    }
    case Kind::none:
        break;
    }
    adjustSize();
}

void ItemToolbar::showFor(const CanvasItem* item, const CanvasController& controller,
                          QSizeF liveOffset) {
    const Kind kind = kindOf(item);
    if (kind == Kind::none) {
        if (kind_ != Kind::none) clear();
        kind_ = Kind::none;
        shown_.reset();
        hide();
        return;
    }
    // Rebuilt when the item's toolbar-relevant fields change, but not while its slider is held
    // (that would drop the drag).
    const bool sliding = sizeSlider_ && sizeSlider_->isSliderDown();
    if (!sliding && (!shown_ || kind != kind_ || !(*shown_ == *item) || id_ != item->id())) {
        rebuild(*item, kind);
        kind_ = kind;
        id_ = item->id();
        shown_ = *item;
    }
    const QPointF centre =
        floatingToolbarCenter(item->frame(), controller, liveOffset, kind == Kind::image);
    move(int(std::lround(centre.x() - width() / 2.0)),
         int(std::lround(centre.y() - height() / 2.0)));
    show();
    raise();
}

void ItemToolbar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(2, 1, -2, -3);
    for (int i = 3; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 12));
        p.drawRoundedRect(box.translated(0, 1).adjusted(-i * 0.5, -i * 0.5, i * 0.5, i * 0.5),
                          6 + i, 6 + i);
    }
    p.setBrush(palette().color(QPalette::Window));
    QColor outline = palette().color(QPalette::PlaceholderText);
    outline.setAlphaF(0.25f);
    p.setPen(QPen(outline, 0.5));
    p.drawRoundedRect(box, 6, 6);
}

} // namespace pintora
