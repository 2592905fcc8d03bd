#pragma once

#include "model/CanvasState.h"

#include <QWidget>

class QHBoxLayout;
class QScrollArea;
class QToolButton;

namespace pintora {

class TabChip;

// The row of tab chips above the address row, with the "+" button.
class TabStrip : public QWidget {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);

    // Shows the document's tabs; chip i shows the title, or the address without one.
    void setTabs(const QList<BrowserTab>& tabs, qint64 activeIndex);
    QList<TabChip*> chips() const { return chips_; }
    QToolButton* newTabButton() const { return plus_; }
    QScrollArea* scrollArea() const { return scroll_; }

signals:
    void selectRequested(qint64 index);
    void closeRequested(qint64 index);
    void newTabRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void revealActiveChip();

    QScrollArea* scroll_;
    QHBoxLayout* row_;
    QToolButton* plus_;
    QList<TabChip*> chips_;
    QList<BrowserTab> shown_;
    qint64 shownActive_ = -1;
};

} // namespace pintora
