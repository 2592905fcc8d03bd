#include "capture/ui/PresetRow.h"

#include "capture/ui/SizePickerPopover.h"
#include "platform/ui/PopupAnchor.h"
#include "platform/ui/Symbols.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <cmath>

namespace pintora {

namespace {
constexpr double namePointSize = 12;
constexpr double sizePointSize = 11;
} // namespace

PresetRow::PresetRow(const ViewportPreset& preset, QWidget* parent)
    : QWidget(parent), preset_(preset), enabled_(new QCheckBox), name_(new QLineEdit),
      size_(new QPushButton), delete_(new QToolButton), anchor_(new PopupAnchor(size_)) {
    name_->setPlaceholderText(tr("Name"));
    name_->setFrame(false);
    QFont nameFont = name_->font();
    nameFont.setPointSizeF(namePointSize);
    nameFont.setWeight(QFont::Medium);
    name_->setFont(nameFont);
    // A name as long as the factory ones shows whole; the sidebar widens to the rows' minimum.
    name_->setMinimumWidth(QFontMetrics(nameFont).horizontalAdvance(QStringLiteral("Widescreen")) +
                           8);
    QFont sizeFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    sizeFont.setPointSizeF(sizePointSize);
    size_->setFont(sizeFont);
    size_->setFlat(true);
    size_->setCursor(Qt::PointingHandCursor);
    delete_->setIcon(
        tintedSymbol(QStringLiteral("xmark"), palette().color(QPalette::PlaceholderText)));
    delete_->setAutoRaise(true);
    delete_->setToolTip(tr("Delete"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(enabled_);
    layout->addWidget(name_, 1);
    layout->addWidget(size_);
    layout->addWidget(delete_);
    display(preset);

    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
        ViewportPreset changed = preset_;
        changed.enabled = on;
        emit edited(changed);
    });
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        ViewportPreset changed = preset_;
        changed.name = text;
        emit edited(changed);
    });
    connect(size_, &QPushButton::clicked, this, &PresetRow::openPopover);
    connect(delete_, &QToolButton::clicked, this, &PresetRow::deleteRequested);
}

QString PresetRow::sizeLabel(const ViewportPreset& preset) {
    return QStringLiteral("%1×%2")
        .arg(qint64(std::trunc(preset.width)))
        .arg(qint64(std::trunc(preset.height)));
}

QString PresetRow::rowName(const ViewportPreset& preset) {
    return tr("%1, %2 × %3")
        .arg(preset.name.isEmpty() ? tr("Unnamed preset") : preset.name)
        .arg(qint64(std::trunc(preset.width)))
        .arg(qint64(std::trunc(preset.height)));
}

void PresetRow::display(const ViewportPreset& preset) {
    preset_ = preset;
    const QSignalBlocker blockEnabled(enabled_), blockName(name_);
    enabled_->setChecked(preset.enabled);
    if (name_->text() != preset.name) name_->setText(preset.name);
    size_->setText(sizeLabel(preset));
    // A screen reader names each control of the row by its preset and size.
    const QString row = rowName(preset);
    enabled_->setAccessibleName(tr("Capture %1").arg(row));
    name_->setAccessibleName(tr("Name of %1").arg(row));
    size_->setAccessibleName(tr("Size of %1").arg(row));
    delete_->setAccessibleName(tr("Delete %1").arg(row));
}

SizePickerPopover* PresetRow::openPopover() {
    auto* popover = new SizePickerPopover(
        preset_.width, preset_.height,
        [this](double width, double height) {
            ViewportPreset changed = preset_;
            changed.width = width;
            changed.height = height;
            if (changed != preset_) emit edited(changed);
        },
        this);
    anchor_->watch(popover);
    popover->popUp(size_);
    return popover;
}

} // namespace pintora
