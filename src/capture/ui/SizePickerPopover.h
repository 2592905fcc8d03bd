#pragma once

#include <QFrame>
#include <functional>

class QLineEdit;

namespace pintora {

// The popover of a preset's size button: two large fields; arrow keys step by ten, Tab and
// the side arrows move between the fields, Return commits, anything else closes unchanged.
class SizePickerPopover : public QFrame {
    Q_OBJECT
public:
    // `commit` receives the new width and height; a field whose text is no size of at least 1
    // keeps the stored value.
    SizePickerPopover(double width, double height,
                      std::function<void(double width, double height)> commit,
                      QWidget* parent = nullptr);

    QLineEdit* widthField() const { return width_; }
    QLineEdit* heightField() const { return height_; }
    // Opens below `anchor` with the focus in the width field.
    void popUp(QWidget* anchor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int direction);
    void commit();

    double storedWidth_;
    double storedHeight_;
    std::function<void(double, double)> commit_;
    QLineEdit* width_;
    QLineEdit* height_;
};

} // namespace pintora
