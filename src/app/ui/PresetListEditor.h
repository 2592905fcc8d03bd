#pragma once

#include <QWidget>

class QPushButton;

namespace pintora {

class AppPresetsStore;
class PresetList;
class PresetRow;

// The settings page of the viewport presets: the sidebar's rows, with room to add a size and
// to go back to the factory sizes.
class PresetListEditor : public QWidget {
    Q_OBJECT
public:
    explicit PresetListEditor(AppPresetsStore& store, QWidget* parent = nullptr);

    PresetList* list() const { return list_; }
    PresetRow* row(int index) const;
    QPushButton* addButton() const { return add_; }
    QPushButton* restoreButton() const { return restore_; }

private:
    AppPresetsStore& store_;
    PresetList* list_;
    QPushButton* add_;
    QPushButton* restore_;
};

} // namespace pintora
