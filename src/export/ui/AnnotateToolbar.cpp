#include "export/ui/AnnotateToolbar.h"

#include "canvas/CanvasController.h"
#include "canvas/ScaledPictureCache.h"
#include "export/PngRenderer.h"
#include "export/ui/DragOutThumb.h"
#include "model/HexColor.h"
#include "model/PintoraDocument.h"
#include "picker/ui/ColorPicker.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Symbols.h"
#include "shapes/ui/NoteStyleSwatch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QToolButton>
#include <cmath>

namespace pintora {

namespace {

QLabel* symbolLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(
        tintedSymbol(name, parent->palette().color(QPalette::PlaceholderText)).pixmap(14, 14));
    return label;
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFixedHeight(20);
    line->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 40);"));
    return line;
}

} // namespace

AnnotateToolbar::AnnotateToolbar(PintoraDocument& document, CanvasController& controller,
                                 UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), document_(document), controller_(controller), defaults_(defaults),
      row_(new QHBoxLayout(this)) {
    row_->setContentsMargins(10, 6, 10, 6);
    row_->setSpacing(10);

    for (Tool tool : allTools) {
        auto* button = new QToolButton(this);
        button->setIcon(symbolIcon(QString::fromLatin1(infoOf(tool).symbol)));
        button->setIconSize(QSize(18, 18));
        button->setFixedSize(28, 24);
        button->setAutoRaise(true);
        button->setCheckable(true);
        button->setToolTip(pintora::toolTip(tool));
        connect(button, &QToolButton::clicked, this, [this, tool] {
            setTool(tool);
            emit toolPicked(tool);
        });
        toolButtons_.append(button);
        row_->addWidget(button);
    }
    row_->addWidget(divider(this));

    pickerSlot_ = new QWidget(this);
    auto* pickerRow = new QHBoxLayout(pickerSlot_);
    pickerRow->setContentsMargins(0, 0, 0, 0);
    row_->addWidget(pickerSlot_);

    auto makeSliderGroup = [this](const QString& symbol, int min, int max, const QString& tip,
                                  int labelWidth, QSlider*& slider, QLabel*& label) {
        auto* group = new QWidget(this);
        auto* line = new QHBoxLayout(group);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(4);
        line->addWidget(symbolLabel(symbol, this));
        slider = new QSlider(Qt::Horizontal, group);
        slider->setRange(min, max);
        slider->setFixedWidth(90);
        slider->setToolTip(tip);
        line->addWidget(slider);
        label = new QLabel(group);
        label->setMinimumWidth(labelWidth);
        line->addWidget(label);
        row_->addWidget(group);
        return group;
    };
    widthGroup_ = makeSliderGroup(QStringLiteral("lineweight"), 1, 60, QStringLiteral("Line width"),
                                  18, widthSlider_, widthLabel_);
    connect(widthSlider_, &QSlider::valueChanged, this, [this](int value) {
        changeWidth(document_, document_.undoStack(), selection_, value);
    });
    sizeGroup_ = makeSliderGroup(QStringLiteral("textformat.size"), 8, 240,
                                 QStringLiteral("Font size"), 22, sizeSlider_, sizeLabel_);
    connect(sizeSlider_, &QSlider::valueChanged, this, [this](int value) {
        changeFontSize(document_, document_.undoStack(), selection_, value);
    });

    noteGroup_ = new QWidget(this);
    auto* noteRow = new QHBoxLayout(noteGroup_);
    noteRow->setContentsMargins(0, 0, 0, 0);
    noteRow->setSpacing(4);
    row_->addWidget(noteGroup_);

    row_->addStretch(1);

    auto* fit = new QPushButton(symbolIcon(QStringLiteral("rectangle.arrowtriangle.2.inward")),
                                QStringLiteral("Fit"), this);
    fit->setToolTip(QStringLiteral("Fit all content to viewport"));
    fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(fit, &QPushButton::clicked, this, &AnnotateToolbar::fitRequested);
    row_->addWidget(fit);

    auto* zoomGroup = new QHBoxLayout;
    zoomGroup->setSpacing(4);
    zoomGroup->addWidget(symbolLabel(QStringLiteral("minus.magnifyingglass"), this));
    zoomSlider_ = new QSlider(Qt::Horizontal, this);
    zoomSlider_->setRange(10, 400); // hundredths: 0.1 to 4.0
    zoomSlider_->setFixedWidth(110);
    zoomSlider_->setToolTip(QStringLiteral("Zoom"));
    zoomGroup->addWidget(zoomSlider_);
    zoomGroup->addWidget(symbolLabel(QStringLiteral("plus.magnifyingglass"), this));
    row_->addLayout(zoomGroup);
    connect(zoomSlider_, &QSlider::valueChanged, this,
            [this](int value) { controller_.setToolbarZoom(value / 100.0); });

    thumb_ = new DragOutThumb(
        [this] { return document_.state(); },
        [this](QSize pixels) { return renderThumbnail(document_.state(), pixels); }, this);
    row_->addWidget(thumb_);
    // Copies that stood in by a box are in by now.
    connect(&ScaledPictureCache::shared(), &ScaledPictureCache::copyReady, thumb_,
            &DragOutThumb::refreshSoon);

    auto* exportButton = new QPushButton(symbolIcon(QStringLiteral("square.and.arrow.up")),
                                         QStringLiteral("Export"), this);
    connect(exportButton, &QPushButton::clicked, this, &AnnotateToolbar::exportRequested);
    row_->addWidget(exportButton);

    connect(&document_, &PintoraDocument::stateChanged, this, &AnnotateToolbar::refresh);
    connect(&controller_, &CanvasController::zoomChanged, this, &AnnotateToolbar::refresh);
    refresh();
}

QToolButton* AnnotateToolbar::toolButton(Tool tool) const {
    return toolButtons_[qsizetype(tool)];
}

void AnnotateToolbar::setTool(Tool tool) {
    if (tool == tool_) return;
    tool_ = tool;
    refresh();
}

void AnnotateToolbar::setSelection(const Selection& selection) {
    if (selection == selection_) return;
    selection_ = selection;
    refresh();
}

void AnnotateToolbar::rebuildPicker(const ToolbarConditions& conditions) {
    if (picker_ && pickerKey_ == conditions.colorPickerKey) {
        picker_->setValue(toolbarColor(conditions, defaults_));
        return;
    }
    // Made anew when what it edits changes; an open popover goes with the old one.
    if (picker_) {
        picker_->hide();
        pickerSlot_->layout()->removeWidget(picker_);
        picker_->deleteLater();
    }
    pickerKey_ = conditions.colorPickerKey;
    picker_ = new ColorPicker(toolbarColor(conditions, defaults_), pickerSlot_);
    pickerSlot_->layout()->addWidget(picker_);
    picker_->show();
    connect(picker_, &ColorPicker::valueEdited, this, [this](const QString& hex) {
        const ToolbarConditions now = toolbarConditions(document_.state(), selection_, tool_);
        changeColor(document_, document_.undoStack(), selection_, now, defaults_, hex);
    });
}

void AnnotateToolbar::syncNoteStyles() {
    // The swatches stay while their group shows, so a focused one keeps the keyboard.
    const TextStyle current = document_.state().defaultNoteStyle;
    QList<NoteStyleSwatch*> swatches = noteGroup_->findChildren<NoteStyleSwatch*>();
    if (swatches.isEmpty()) {
        for (TextStyle style : {TextStyle::critical, TextStyle::warning, TextStyle::success}) {
            auto* button = new NoteStyleSwatch(style, noteGroup_);
            connect(button, &QToolButton::clicked, this,
                    [this, style] { setDefaultNoteStyle(document_, style); });
            noteGroup_->layout()->addWidget(button);
            swatches.append(button);
        }
    }
    for (NoteStyleSwatch* swatch : swatches)
        swatch->setChecked(swatch->style() == current);
}

void AnnotateToolbar::refresh() {
    const CanvasState& state = document_.state();
    const ToolbarConditions conditions = toolbarConditions(state, selection_, tool_);
    for (Tool tool : allTools)
        toolButton(tool)->setChecked(tool == tool_);

    pickerSlot_->setVisible(conditions.showsColorPicker);
    rebuildPicker(conditions);

    widthGroup_->setVisible(conditions.showsLineWidth);
    const QSignalBlocker widthQuiet(widthSlider_);
    widthSlider_->setValue(int(std::lround(state.defaultLineWidth)));
    widthLabel_->setText(QString::number(std::llround(state.defaultLineWidth)));

    sizeGroup_->setVisible(conditions.showsFontSize);
    const QSignalBlocker sizeQuiet(sizeSlider_);
    sizeSlider_->setValue(int(std::lround(state.defaultFontSize)));
    sizeLabel_->setText(QString::number(std::llround(state.defaultFontSize)));

    noteGroup_->setVisible(conditions.showsNoteStyle);
    if (conditions.showsNoteStyle) syncNoteStyles();

    const QSignalBlocker zoomQuiet(zoomSlider_);
    zoomSlider_->setValue(int(std::lround(std::min(controller_.zoom(), 4.0) * 100)));

    thumb_->setContentToken(thumbContentToken(state));
}

} // namespace pintora
