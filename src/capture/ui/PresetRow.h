#pragma once

#include "capture/ViewportPreset.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace pintora {

class PopupAnchor;
class SizePickerPopover;

// One preset in the sidebar: on/off, name, size button with its popover, delete.
class PresetRow : public QWidget {
    Q_OBJECT
public:
    explicit PresetRow(const ViewportPreset& preset, QWidget* parent = nullptr);

    // Shows a changed value without rebuilding the row or taking the focus from it.
    void display(const ViewportPreset& preset);
    // "iPhone, 390 × 844": what a screen reader calls the row and its controls.
    static QString rowName(const ViewportPreset& preset);
    static QString sizeLabel(const ViewportPreset& preset);

    QCheckBox* enabledBox() const { return enabled_; }
    QLineEdit* nameField() const { return name_; }
    QPushButton* sizeButton() const { return size_; }
    QToolButton* deleteButton() const { return delete_; }
    SizePickerPopover* openPopover();

signals:
    // The row's preset with one change made by the user.
    void edited(const ViewportPreset& preset);
    void deleteRequested();

private:
    ViewportPreset preset_;
    QCheckBox* enabled_;
    QLineEdit* name_;
    QPushButton* size_;
    QToolButton* delete_;
    PopupAnchor* anchor_;
};

} // namespace pintora
