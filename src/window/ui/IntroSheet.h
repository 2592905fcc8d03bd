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

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Places the sheet's frame in the middle of its document window's frame.
    void centreOverWindow();
};

} // namespace pintora
