#pragma once

#include <QFrame>

class QLabel;

namespace pintora {

// A line of news above the canvas that stays until the user closes it or it is replaced:
// what a capture that has just ended wants the user to know once its pictures are shown.
class NoticeBar : public QFrame {
    Q_OBJECT
public:
    explicit NoticeBar(QWidget* parent = nullptr);

    // Shows the text, or hides the bar when it is empty.
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* label_;
};

} // namespace pintora
