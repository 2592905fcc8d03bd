#include "picker/ui/ColorPicker.h"

#include "model/HexColor.h"
#include "platform/ui/AccessibleRole.h"
#include "platform/ui/FocusRing.h"
#include "platform/ui/PopupAnchor.h"
#include "platform/ui/Symbols.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace pintora {

void paintCheckerboard(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, Qt::white);
    for (double y = 0; y < rect.height(); y += 4) {
        for (double x = 0; x < rect.width(); x += 4) {
            const int row = int(y / 4), column = int(x / 4);
            if ((row + column) % 2 == 0) {
                painter.fillRect(QRectF(rect.left() + x, rect.top() + y, 4, 4),
                                 QColor(211, 211, 211));
            }
        }
    }
    painter.restore();
}

namespace {

// A colour on the checkerboard inside a rounded rectangle with a faint outline.
void paintSwatch(QPainter& painter, const QRectF& rect, std::optional<QColor> color, double radius,
                 double outlineAlpha) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.setClipPath(shape);
    paintCheckerboard(painter, rect);
    if (color) painter.fillRect(rect, *color);
    painter.setClipping(false);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, float(outlineAlpha)), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(0.25, 0.25, -0.25, -0.25), radius, radius);
    painter.restore();
}

class PaletteButton : public QToolButton {
public:
    PaletteButton(const ColorList::Entry& entry, QWidget* parent)
        : QToolButton(parent), color_(entry.color) {
        setFixedSize(20, 20);
        setToolTip(entry.name);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintSwatch(painter, QRectF(rect()), color_, 3, 0.15);
    }

private:
    QColor color_;
};

class Preview : public QWidget {
public:
    explicit Preview(ColorPickerModel& model, QWidget* parent) : QWidget(parent), model_(model) {
        setFixedSize(36, 36);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintSwatch(painter, QRectF(rect()), colorFromHex(model_.hexInput()), 6, 0.15);
    }

private:
    ColorPickerModel& model_;
};

} // namespace

ColorPicker::ColorPicker(const QString& value, QWidget* parent)
    : QWidget(parent), value_(value), model_(value, builtInColorLists()),
      anchor_(new PopupAnchor(this)) {
    setFixedSize(22, 22);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Color"));
    setFocusPolicy(Qt::TabFocus);
    repaintOnFocus(this);
    // A button that opens the colours, whose description is the colour it holds.
    setAccessibleRole(this, QAccessible::ButtonMenu);
    setAccessibleDescription(value_);
}

ColorPicker::~ColorPicker() {
    if (popover_) popover_->deleteLater();
    if (dialog_) dialog_->deleteLater();
}

void ColorPicker::setValue(const QString& value) {
    if (value == value_) return;
    value_ = value;
    if (model_.hexInput() != value) model_.setHexInput(value);
    setAccessibleDescription(value_);
    update();
}

void ColorPicker::write(const QString& hex) {
    value_ = hex;
    setAccessibleDescription(value_);
    update();
    emit valueEdited(hex);
}

void ColorPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSwatch(painter, QRectF(rect()), colorFromHex(value_), 4, 0.25);
    paintFocusRing(painter, this, 4);
}

void ColorPicker::keyPressEvent(QKeyEvent* event) {
    if (isPressKey(event)) {
        togglePopover();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ColorPicker::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        togglePopover();
    }
}

ColorPickerPopover* ColorPicker::popover() const {
    return popover_;
}

bool ColorPicker::popoverShown() const {
    return popover_ && popover_->isVisible();
}

void ColorPicker::togglePopover() {
    if (popoverShown()) {
        popover_->close();
        popover_.clear();
        return;
    }
    if (popover_) popover_->deleteLater();
    popover_ = new ColorPickerPopover(*this, window());
    popover_->setAttribute(Qt::WA_DeleteOnClose);
    anchor_->watch(popover_);
    popover_->adjustSize();
    // Below the swatch, as a popup that closes when the user works elsewhere.
    const QPoint below = mapToGlobal(QPoint(width() / 2 - popover_->width() / 2, height() + 4));
    popover_->move(below);
    popover_->show();
    popover_->hexField()->setFocus();
}

void ColorPicker::openColorDialog() {
    if (!dialog_) {
        dialog_ = new QColorDialog(window());
        dialog_->setOption(QColorDialog::NoButtons);
        dialog_->setWindowTitle(QStringLiteral("Colors"));
        connect(dialog_, &QColorDialog::currentColorChanged, this, [this](const QColor& color) {
            if (!followingDialog_) return;
            const QString hex = color.isValid() ? toHex(color) : QStringLiteral("#000000");
            model_.setHexInput(hex);
            write(hex);
        });
        // Closing the dialog ends the following; a later change reaches nobody.
        connect(dialog_, &QColorDialog::finished, this, [this] { followingDialog_ = false; });
    }
    followingDialog_ = false;
    if (const auto color = colorFromHex(model_.hexInput())) dialog_->setCurrentColor(*color);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    followingDialog_ = true;
}

ColorPickerPopover::ColorPickerPopover(ColorPicker& picker, QWidget* parent)
    : QWidget(parent, Qt::Popup), picker_(picker) {
    setFixedWidth(260);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(12);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->setAlignment(Qt::AlignBottom);
    preview_ = new Preview(picker_.model_, this);
    top->addWidget(preview_, 0, Qt::AlignBottom);
    auto* fieldColumn = new QVBoxLayout;
    fieldColumn->setSpacing(2);
    auto* label = new QLabel(QStringLiteral("Hex"), this);
    QFont small = label->font();
    small.setPixelSize(10);
    label->setFont(small);
    label->setForegroundRole(QPalette::PlaceholderText);
    fieldColumn->addWidget(label);
    hexField_ = new QLineEdit(picker_.model_.hexInput(), this);
    hexField_->setPlaceholderText(QStringLiteral("#RRGGBB"));
    hexField_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    fieldColumn->addWidget(hexField_);
    top->addLayout(fieldColumn, 1);
    auto* panelButton = new QToolButton(this);
    panelButton->setIcon(
        tintedSymbol(QStringLiteral("paintpalette"), palette().color(QPalette::PlaceholderText)));
    panelButton->setFixedSize(22, 22);
    panelButton->setToolTip(QStringLiteral("Open Color Panel"));
    top->addWidget(panelButton, 0, Qt::AlignBottom);
    column->addLayout(top);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);
    rebuildGrid();

    connect(hexField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        picker_.model_.setHexInput(text);
        preview_->update();
    });
    connect(hexField_, &QLineEdit::returnPressed, this, [this] {
        if (const auto hex = picker_.model_.submittedHex()) {
            picker_.write(*hex);
            close();
        }
    });
    connect(panelButton, &QToolButton::clicked, this, [this] {
        picker_.openColorDialog();
        close();
    });
}

void ColorPickerPopover::rebuildGrid() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    if (grid_) {
        column->removeWidget(grid_);
        grid_->deleteLater();
    }
    grid_ = new QWidget(this);
    auto* rows = new QVBoxLayout(grid_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(4);
    ColorPickerModel& model = picker_.model_;
    if (model.hasHeader()) {
        auto* header = new QHBoxLayout;
        header->setSpacing(4);
        const QColor secondary = palette().color(QPalette::PlaceholderText);
        auto* back = new QToolButton(grid_);
        back->setIcon(tintedSymbol(QStringLiteral("chevron.left"), secondary));
        back->setAutoRaise(true);
        back->setEnabled(model.canGoBack());
        back->setToolTip(QStringLiteral("Previous palette"));
        auto* title = new QLabel(model.paletteTitle(), grid_);
        title->setAlignment(Qt::AlignCenter);
        title->setForegroundRole(QPalette::PlaceholderText);
        auto* forward = new QToolButton(grid_);
        forward->setIcon(tintedSymbol(QStringLiteral("chevron.right"), secondary));
        forward->setAutoRaise(true);
        forward->setEnabled(model.canGoForward());
        forward->setToolTip(QStringLiteral("Next palette"));
        header->addWidget(back);
        header->addWidget(title, 1);
        header->addWidget(forward);
        rows->addLayout(header);
        connect(back, &QToolButton::clicked, this, [this] {
            picker_.model_.previousPalette();
            rebuildGrid();
        });
        connect(forward, &QToolButton::clicked, this, [this] {
            picker_.model_.nextPalette();
            rebuildGrid();
        });
    }
    for (const auto& row : model.rows()) {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        for (const ColorList::Entry& entry : row) {
            auto* button = new PaletteButton(entry, grid_);
            connect(button, &QToolButton::clicked, this, [this, color = entry.color] {
                const QString hex = color.isValid() ? toHex(color) : QStringLiteral("#000000");
                picker_.model_.setHexInput(hex);
                picker_.write(hex);
                close();
            });
            line->addWidget(button);
        }
        line->addStretch(1);
        rows->addLayout(line);
    }
    column->addWidget(grid_);
    adjustSize();
}

void ColorPickerPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace pintora
