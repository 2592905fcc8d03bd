#pragma once

#include <QDialog>

namespace pintora {

// The welcome sheet shown over a document window until the user has dismissed it once.
class IntroSheet : public QDialog {
    Q_OBJECT
public:
    explicit IntroSheet(QWidget* parent);

signals:
    // "Get Started" was pressed.
    void getStarted();
};

} // namespace pintora
