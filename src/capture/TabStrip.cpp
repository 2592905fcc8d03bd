#include "capture/TabStrip.h"

#include "capture/TabChip.h"
#include "platform/Symbols.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QToolButton>

namespace pintora {

namespace {
constexpr int stripHeight = 28;
} // namespace

TabStrip::TabStrip(QWidget* parent) : QWidget(parent), plus_(new QToolButton) {
    setFixedHeight(stripHeight);
    auto* chipsHolder = new QWidget;
    row_ = new QHBoxLayout(chipsHolder);
    row_->setContentsMargins(4, 2, 4, 2);
    row_->setSpacing(4);
    row_->addStretch();
    auto* scroll = new QScrollArea;
    scroll->setWidget(chipsHolder);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("background: transparent"));
    plus_->setIcon(symbolIcon(QStringLiteral("plus")));
    plus_->setAutoRaise(true);
    plus_->setToolTip(tr("New Tab"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->setSpacing(0);
    layout->addWidget(scroll, 1);
    layout->addWidget(plus_);
    connect(plus_, &QToolButton::clicked, this, &TabStrip::newTabRequested);
}

void TabStrip::setTabs(const QList<BrowserTab>& tabs, qint64 activeIndex) {
    if (tabs == shown_ && activeIndex == shownActive_) return;
    shown_ = tabs;
    shownActive_ = activeIndex;
    // Later: the chip whose button asked for this may still be handling the click.
    for (TabChip* chip : std::as_const(chips_)) {
        row_->removeWidget(chip);
        chip->hide();
        chip->deleteLater();
    }
    chips_.clear();
    for (qint64 i = 0; i < tabs.size(); ++i) {
        const BrowserTab& tab = tabs[i];
        auto* chip = new TabChip(tab.title.isEmpty() ? tab.url : tab.title, i == activeIndex);
        connect(chip, &TabChip::selectRequested, this, [this, i] { emit selectRequested(i); });
        connect(chip, &TabChip::closeRequested, this, [this, i] { emit closeRequested(i); });
        row_->insertWidget(int(i), chip);
        chips_.append(chip);
    }
}

void TabStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor background = palette().color(QPalette::Window);
    background.setAlphaF(0.5);
    painter.fillRect(rect(), background);
}

} // namespace pintora
