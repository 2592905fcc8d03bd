#include "capture/ui/SizePickerPopover.h"

#include "capture/SizeFieldRules.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cmath>

namespace pintora {

namespace {
constexpr QSize fieldSize(86, 48);
constexpr double fieldPointSize = 28;
constexpr double timesPointSize = 26;

QLineEdit* makeField(double value, const char* placeholder, const char* name) {
    auto* field = new QLineEdit(QString::number(qint64(std::trunc(value))));
    field->setObjectName(QLatin1String(name));
    field->setPlaceholderText(QLatin1String(placeholder));
    field->setAlignment(Qt::AlignCenter);
    QFont font = field->font();
    font.setPointSizeF(fieldPointSize);
    font.setWeight(QFont::Light);
    font.setStyleHint(QFont::Monospace);
    field->setFont(font);
    // Wide enough for five digits in the large font, so that no digit is cut off.
    const QFontMetrics metrics(font);
    field->setFixedSize(std::max(fieldSize.width(),
                                 metrics.horizontalAdvance(QStringLiteral("00000")) + 16),
                        std::max(fieldSize.height(), metrics.height() + 12));
    return field;
}
} // namespace

SizePickerPopover::SizePickerPopover(double width, double height,
                                     std::function<void(double, double)> commit, QWidget* parent)
    : QFrame(parent, Qt::Popup), storedWidth_(width), storedHeight_(height),
      commit_(std::move(commit)), width_(makeField(width, "1024", "width")),
      height_(makeField(height, "768", "height")) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
    auto* times = new QLabel(QStringLiteral("×"));
    QFont font = times->font();
    font.setPointSizeF(timesPointSize);
    font.setWeight(QFont::Thin);
    times->setFont(font);
    times->setForegroundRole(QPalette::PlaceholderText);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    layout->addWidget(width_);
    layout->addWidget(times);
    layout->addWidget(height_);
    width_->installEventFilter(this);
    height_->installEventFilter(this);
    connect(width_, &QLineEdit::returnPressed, this, &SizePickerPopover::commit);
    connect(height_, &QLineEdit::returnPressed, this, &SizePickerPopover::commit);
}

void SizePickerPopover::popUp(QWidget* anchor) {
    adjustSize();
    // Below the anchor; moved left where it would stick out of the window's right edge.
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    const QRect window = anchor->window()->geometry();
    if (at.x() + width() > window.right()) {
        at.setX(std::max(window.left(), window.right() - width()));
    }
    move(at);
    show();
    width_->setFocus();
    width_->selectAll();
}

bool SizePickerPopover::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        (width_->hasFocus() ? height_ : width_)->setFocus();
        return true;
    case Qt::Key_Left:
        width_->setFocus();
        return true;
    case Qt::Key_Right:
        height_->setFocus();
        return true;
    case Qt::Key_Down:
        step(-1);
        return true;
    case Qt::Key_Up:
        step(+1);
        return true;
    default:
        return QFrame::eventFilter(watched, event);
    }
}

void SizePickerPopover::step(int direction) {
    const bool width = width_->hasFocus();
    QLineEdit* field = width ? width_ : height_;
    field->setText(sizeField::step(field->text(), width ? storedWidth_ : storedHeight_, direction));
}

void SizePickerPopover::commit() {
    const double width = sizeField::committed(width_->text()).value_or(storedWidth_);
    const double height = sizeField::committed(height_->text()).value_or(storedHeight_);
    if (commit_) commit_(width, height);
    close();
}

} // namespace pintora
