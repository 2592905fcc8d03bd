#include "window/ui/IntroSheet.h"

#include "platform/ui/Symbols.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pintora {

namespace {
constexpr int sheetWidth = 620;
constexpr int buttonWidth = 140;
constexpr int bigSymbol = 56;
constexpr int cardSymbol = 28;

QLabel* symbolLabel(const QString& name, int size) {
    auto* label = new QLabel;
    label->setPixmap(symbolIcon(name).pixmap(size, size));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* textLabel(const QString& text, int pointDelta, QFont::Weight weight) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + pointDelta);
    font.setWeight(weight);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

QFrame* card(const QString& symbol, const QString& title, const QString& text) {
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(symbolLabel(symbol, cardSymbol), 0, Qt::AlignTop);
    auto* words = new QVBoxLayout;
    words->addWidget(textLabel(title, 1, QFont::DemiBold));
    words->addWidget(textLabel(text, 0, QFont::Normal));
    layout->addLayout(words, 1);
    return frame;
}

QLabel* keyLabel(const QString& keys) {
    auto* label = new QLabel(keys);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return label;
}
} // namespace

IntroSheet::IntroSheet(QWidget* parent) : QDialog(parent) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Welcome to Pintora"));
    setFixedWidth(sheetWidth);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(symbolLabel(QStringLiteral("rectangle.on.rectangle.angled"), bigSymbol));
    auto* title = textLabel(tr("Welcome to Pintora"), 8, QFont::Bold);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto* subtitle =
        textLabel(tr("Capture websites at any size, then mark them up."), 1, QFont::Normal);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(subtitle);
    layout->addWidget(card(QStringLiteral("camera.viewfinder"), tr("Capture"),
                           tr("Browse any URL in the built-in browser. Pick one or more viewport "
                              "sizes — widescreen, laptop, tablet, mobile — and snap them all at "
                              "once.")));
    layout->addWidget(card(QStringLiteral("pencil.tip.crop.circle"), tr("Annotate"),
                           tr("Screenshots drop onto an infinite canvas. Draw arrows, shapes, and "
                              "text, crop images, then export or drag out as PNG.")));

    // Control stands for the Command key here.
    auto* keys = new QHBoxLayout;
    keys->addStretch();
    keys->addWidget(new QLabel(tr("Switch tabs anytime with")));
    keys->addWidget(keyLabel(tr("Ctrl+1")));
    keys->addWidget(new QLabel(tr("and")));
    keys->addWidget(keyLabel(tr("Ctrl+2")));
    keys->addWidget(new QLabel(tr("— or the toggle in the top-right.")));
    keys->addStretch();
    layout->addLayout(keys);

    auto* start = new QPushButton(tr("Get Started"));
    start->setObjectName(QStringLiteral("getStarted"));
    start->setFixedWidth(buttonWidth);
    start->setDefault(true);
    layout->addWidget(start, 0, Qt::AlignCenter);
    connect(start, &QPushButton::clicked, this, [this] {
        emit getStarted();
        accept();
    });

    // The sheet is modal, so the window's own shortcuts do not reach it; Quit must still work.
    if (QWidget* top = parent ? parent->window() : nullptr) {
        if (auto* quit = top->findChild<QAction*>(QStringLiteral("quit"))) addAction(quit);
        top->installEventFilter(this);
    }
}

void IntroSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOverWindow();
}

bool IntroSheet::eventFilter(QObject* watched, QEvent* event) {
    // The window manager may place or size the window after the sheet is shown.
    if (isVisible() && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        centreOverWindow();
    }
    return QDialog::eventFilter(watched, event);
}

void IntroSheet::centreOverWindow() {
    const QWidget* top = parentWidget() ? parentWidget()->window() : nullptr;
    if (!top) return;
    const QRect over = top->frameGeometry();
    QRect frame = frameGeometry();
    // While the window manager takes the sheet in, its frame can read as 1 × 1.
    if (frame.width() < width() || frame.height() < height()) frame.setSize(size());
    frame.moveCenter(over.center());
    move(frame.topLeft());
}

} // namespace pintora
