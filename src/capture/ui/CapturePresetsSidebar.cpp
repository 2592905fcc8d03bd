#include "capture/ui/CapturePresetsSidebar.h"

#include "capture/AppPresetsStore.h"
#include "capture/ui/PresetList.h"
#include "capture/ui/PresetRow.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Symbols.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace pintora {

namespace {
constexpr int narrowest = 180;
constexpr int ideal = 200;
constexpr int widest = 240;
constexpr double titlePointSize = 13;
constexpr double countPointSize = 11;

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

CapturePresetsSidebar::CapturePresetsSidebar(AppPresetsStore& store, UserDefaults& defaults,
                                             QWidget* parent)
    : QWidget(parent), store_(store), defaults_(defaults), count_(new QLabel),
      list_(new PresetList(store)),
      add_(new QPushButton(symbolIcon(QStringLiteral("plus")), tr("Add size"))),
      visible_(new QPushButton(tr("Visible"))), fullPage_(new QPushButton(tr("Full page"))),
      capture_(new QPushButton(symbolIcon(QStringLiteral("camera.viewfinder")), tr("Capture"))),
      cancel_(new QPushButton(tr("Cancel"))), notice_(new QLabel), engine_(new QLabel) {
    setMinimumWidth(narrowest);
    setMaximumWidth(widest);
    resize(ideal, height());

    auto* title = new QLabel(tr("Viewport Sizes"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titlePointSize);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    QFont countFont = count_->font();
    countFont.setPointSizeF(countPointSize);
    count_->setFont(countFont);
    count_->setForegroundRole(QPalette::PlaceholderText);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 8, 12, 8);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(count_);

    list_->setFrameShape(QFrame::NoFrame);
    // Rows take the list's width; the sidebar is made wide enough for the widest of them.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    add_->setFlat(true);
    add_->setStyleSheet(QStringLiteral("text-align: left"));

    // Two exclusive buttons make the segmented choice.
    auto* group = new QButtonGroup(this);
    for (QPushButton* segment : {visible_, fullPage_}) {
        segment->setCheckable(true);
        group->addButton(segment);
    }
    (defaults_.captureFullPage() ? fullPage_ : visible_)->setChecked(true);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    segments->addWidget(visible_);
    segments->addWidget(fullPage_);
    capture_->setDefault(true);
    capture_->setMinimumHeight(32);
    capture_->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_K));
    auto* footer = new QVBoxLayout;
    footer->setContentsMargins(12, 12, 12, 12);
    footer->setSpacing(10);
    footer->addLayout(segments);
    // While a capture runs, Cancel (or Escape) ends it.
    cancel_->setMinimumHeight(32);
    cancel_->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel_->setToolTip(tr("Stop the capture (Esc)"));
    cancel_->hide();
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(capture_, 1);
    buttons->addWidget(cancel_);
    footer->addLayout(buttons);
    engine_->setFont(countFont);
    engine_->setForegroundRole(QPalette::PlaceholderText);
    engine_->setAlignment(Qt::AlignHCenter);
    footer->addWidget(engine_);
    notice_->setWordWrap(true);
    notice_->setFont(countFont);
    notice_->setForegroundRole(QPalette::PlaceholderText);
    notice_->hide();
    footer->addWidget(notice_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(divider());
    layout->addWidget(list_, 1);
    layout->addWidget(add_);
    layout->addWidget(divider());
    layout->addLayout(footer);

    connect(add_, &QPushButton::clicked, this, [this] { store_.add(); });
    connect(fullPage_, &QPushButton::toggled, this,
            [this](bool on) { defaults_.setCaptureFullPage(on); });
    // A choice made in another window shows here at once.
    connect(&defaults_, &UserDefaults::captureFullPageChanged, this,
            [this](bool on) { (on ? fullPage_ : visible_)->setChecked(true); });
    connect(capture_, &QPushButton::clicked, this, &CapturePresetsSidebar::captureAllRequested);
    connect(cancel_, &QPushButton::clicked, this, &CapturePresetsSidebar::cancelRequested);
    connect(list_, &PresetList::synced, this, [this](bool rebuilt) {
        if (rebuilt) fitRows();
        updateButton();
    });
    fitRows();
    updateButton();
}

void CapturePresetsSidebar::setEngineLabel(const QString& text) {
    engine_->setText(text);
    engine_->setAccessibleName(tr("Capture engine: %1").arg(text));
}

QString CapturePresetsSidebar::countLabel(const AppPresetsStore& store) {
    const auto& presets = store.presets();
    const auto on = std::count_if(presets.begin(), presets.end(),
                                  [](const ViewportPreset& preset) { return preset.enabled; });
    return QStringLiteral("%1/%2 on").arg(on).arg(presets.size());
}

QString CapturePresetsSidebar::captureLabel(std::optional<CaptureProgress> progress) {
    if (!progress) return tr("Capture");
    return tr("Capturing %1/%2…").arg(progress->current).arg(progress->total);
}

void CapturePresetsSidebar::setCaptureProgress(std::optional<CaptureProgress> progress) {
    progress_ = progress;
    updateButton();
}

void CapturePresetsSidebar::addCaptureNotice(const QString& text) {
    const QString shown = notice_->text();
    notice_->setText(shown.isEmpty() ? text : shown + u'\n' + text);
    notice_->show();
}

void CapturePresetsSidebar::clearCaptureNotices() {
    notice_->clear();
    notice_->hide();
}

PresetRow* CapturePresetsSidebar::row(int index) const {
    return list_->row(index);
}

void CapturePresetsSidebar::updateButton() {
    const auto& presets = store_.presets();
    const bool anyOn = std::any_of(presets.begin(), presets.end(),
                                   [](const ViewportPreset& preset) { return preset.enabled; });
    count_->setText(countLabel(store_));
    capture_->setText(captureLabel(progress_));
    capture_->setEnabled(!progress_ && anyOn);
    cancel_->setVisible(progress_.has_value());
}

void CapturePresetsSidebar::fitRows() {
    // Every name and whole size stays readable, with room for the list's vertical scroll bar.
    const int needed = list_->rowsMinimumWidth() + list_->verticalScrollBar()->sizeHint().width() +
                       2 * list_->frameWidth();
    setMinimumWidth(std::max(narrowest, needed));
    setMaximumWidth(std::max(widest, needed));
}

} // namespace pintora
