#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace pintora {

// One tab in the tab strip: its title and a close button; a click elsewhere selects it.
class TabChip : public QWidget {
    Q_OBJECT
public:
    TabChip(const QString& title, bool active, QWidget* parent = nullptr);

    QString title() const;
    bool isActive() const { return active_; }
    QToolButton* closeButton() const { return close_; }

signals:
    void selectRequested();
    void closeRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* label_;
    QToolButton* close_;
    bool active_;
};

} // namespace pintora
