#include "window/ui/NoticeBar.h"

#include "platform/ui/AccessibleRole.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace pintora {

NoticeBar::NoticeBar(QWidget* parent) : QFrame(parent), label_(new QLabel) {
    // An alert whose name is the notice: a screen reader says it as the band shows, and
    // again when its words change.
    setAccessibleRole(this, QAccessible::AlertMessage);
    setObjectName(QStringLiteral("noticeBar"));
    // A pale amber band, readable in light and dark themes alike since it sets both colours.
    setStyleSheet(QStringLiteral("#noticeBar{background:#fff1c2;border-bottom:1px solid #e0c36a;}"
                                 "#noticeBar QLabel{color:#3d3000;}"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 6, 6);
    label_->setWordWrap(true);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label_, 1);
    auto* close = new QToolButton;
    close->setAutoRaise(true);
    close->setText(QStringLiteral("\u2715"));
    close->setToolTip(tr("Close"));
    close->setAccessibleName(tr("Close"));
    layout->addWidget(close, 0, Qt::AlignTop);
    connect(close, &QToolButton::clicked, this, [this] { setText(QString()); });
    hide();
}

void NoticeBar::setText(const QString& text) {
    label_->setText(text);
    setAccessibleName(text);
    setVisible(!text.isEmpty());
}

QString NoticeBar::text() const {
    return label_->text();
}

} // namespace pintora
