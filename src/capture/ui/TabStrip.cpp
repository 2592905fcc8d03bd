#include "capture/ui/TabStrip.h"

#include "capture/ui/TabChip.h"
#include "platform/ui/Symbols.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

namespace pintora {

namespace {
constexpr int stripHeight = 28;
} // namespace

TabStrip::TabStrip(QWidget* parent)
    : QWidget(parent), scroll_(new QScrollArea), plus_(new QToolButton) {
    setFixedHeight(stripHeight);
    auto* chipsHolder = new QWidget;
    row_ = new QHBoxLayout(chipsHolder);
    row_->setContentsMargins(4, 2, 4, 2);
    row_->setSpacing(4);
    row_->addStretch();
    QScrollArea* scroll = scroll_;
    scroll->setWidget(chipsHolder);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("background: transparent"));
    // The keyboard goes to the tabs themselves, not to the strip that scrolls them.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setAccessibleName(tr("Browser tabs"));
    // An ordinary wheel turns vertically: the strip scrolls sideways with it.
    scroll->viewport()->installEventFilter(this);
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
    // Once the row has its new width, so that a tab added at the end comes into view.
    QMetaObject::invokeMethod(this, &TabStrip::revealActiveChip, Qt::QueuedConnection);
}

void TabStrip::revealActiveChip() {
    if (shownActive_ < 0 || shownActive_ >= chips_.size()) return;
    // The row takes its new width, and the scroll area its new range, before the scroll.
    QWidget* row = scroll_->widget();
    row->layout()->activate();
    QCoreApplication::sendPostedEvents(row, QEvent::LayoutRequest);
    row->resize(std::max(row->minimumSizeHint().width(), scroll_->viewport()->width()),
                scroll_->viewport()->height());
    scroll_->ensureWidgetVisible(chips_[shownActive_], 8, 0);
}

bool TabStrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint pixels = wheel->pixelDelta();
        const QPoint angle = wheel->angleDelta();
        // A notch (120) moves about two chips' worth of a short title.
        const int step = pixels.isNull() ? (angle.y() != 0 ? angle.y() : angle.x()) / 2
                                         : (pixels.y() != 0 ? pixels.y() : pixels.x());
        QScrollBar* bar = scroll_->horizontalScrollBar();
        bar->setValue(bar->value() - step);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TabStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor background = palette().color(QPalette::Window);
    background.setAlphaF(0.5);
    painter.fillRect(rect(), background);
}

} // namespace pintora
