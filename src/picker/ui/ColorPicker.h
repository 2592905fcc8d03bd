#pragma once

#include "picker/ColorPickerModel.h"

#include <QColorDialog>
#include <QPointer>
#include <QWidget>

class QLineEdit;

namespace pintora {

class ColorPickerPopover;
class PopupAnchor;

// The toolbar's colour control: a swatch that toggles a popover with a preview, a hex field,
// a button for the colour dialog and a grid of named colours. Every choice is announced as hex
// text through `valueEdited`; the colour dialog keeps announcing until it is closed.
class ColorPicker : public QWidget {
    Q_OBJECT
public:
    explicit ColorPicker(const QString& value, QWidget* parent = nullptr);
    ~ColorPicker() override;

    QString value() const { return value_; }
    // A new value from outside; the field follows it.
    void setValue(const QString& value);

    void togglePopover();
    ColorPickerPopover* popover() const;
    bool popoverShown() const;
    QColorDialog* colorDialog() const { return dialog_; }
    ColorPickerModel& model() { return model_; }

signals:
    void valueEdited(const QString& hex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Space or Return opens and closes the popover, as a click does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class ColorPickerPopover;
    void write(const QString& hex);
    void openColorDialog();

    QString value_;
    ColorPickerModel model_;
    QPointer<ColorPickerPopover> popover_;
    QPointer<QColorDialog> dialog_;
    PopupAnchor* anchor_;
    bool followingDialog_ = false;
};

// The popover's content; closes itself after a pick, a submitted hex or opening the dialog.
class ColorPickerPopover : public QWidget {
    Q_OBJECT
public:
    ColorPickerPopover(ColorPicker& picker, QWidget* parent);

    QLineEdit* hexField() const { return hexField_; }
    void rebuildGrid();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorPicker& picker_;
    QLineEdit* hexField_;
    QWidget* preview_;
    QWidget* grid_ = nullptr;
};

// Grey and white tiles of 4 × 4 behind colours that may be transparent.
void paintCheckerboard(QPainter& painter, const QRectF& rect);

} // namespace pintora
