#include "capture/ui/TabChip.h"

#include "platform/ui/AccessibleRole.h"
#include "platform/ui/FocusRing.h"
#include "platform/ui/Symbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace pintora {

namespace {
constexpr int maxChipWidth = 160;
constexpr double cornerRadius = 4;
constexpr double titlePointSize = 11;
} // namespace

TabChip::TabChip(const QString& title, bool active, QWidget* parent)
    : QWidget(parent), label_(new QLabel), close_(new QToolButton), active_(active) {
    QFont font = label_->font();
    font.setPointSizeF(titlePointSize);
    label_->setFont(font);
    label_->setTextFormat(Qt::PlainText);
    // One line, cut at the end when the chip reaches its widest.
    label_->setText(QFontMetrics(font).elidedText(title, Qt::ElideRight, maxChipWidth - 36));
    label_->setToolTip(title);
    close_->setIcon(symbolIcon(QStringLiteral("xmark")));
    close_->setIconSize(QSize(8, 8));
    close_->setAutoRaise(true);
    close_->setToolTip(tr("Close Tab"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(4);
    layout->addWidget(label_);
    layout->addWidget(close_);
    setMaximumWidth(maxChipWidth);
    setAttribute(Qt::WA_StyledBackground, false);
    // A tab of the browser for the keyboard and screen readers too: Tab reaches it, Space or
    // Return shows its page.
    setFocusPolicy(Qt::TabFocus);
    repaintOnFocus(this);
    setAccessibleRole(this, QAccessible::PageTab);
    setAccessibleName(title);
    if (active) setAccessibleDescription(tr("Current tab"));
    connect(close_, &QToolButton::clicked, this, &TabChip::closeRequested);
}

QString TabChip::title() const {
    return label_->toolTip();
}

void TabChip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit selectRequested();
    QWidget::mousePressEvent(event);
}

void TabChip::keyPressEvent(QKeyEvent* event) {
    if (isPressKey(event)) {
        emit selectRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TabChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = active_ ? palette().color(QPalette::Highlight) : QColor(Qt::black);
    fill.setAlphaF(active_ ? 0.2 : 0.05);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    paintFocusRing(painter, this, cornerRadius);
}

} // namespace pintora
