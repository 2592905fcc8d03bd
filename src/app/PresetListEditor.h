#pragma once

#include <QList>
#include <QUuid>
#include <QWidget>

class QListWidget;
class QPushButton;

namespace pintora {

class AppPresetsStore;

// The settings page of the viewport presets: one editable row per preset, reordered by
// dragging; every change goes through the store.
class PresetListEditor : public QWidget {
    Q_OBJECT
public:
    explicit PresetListEditor(AppPresetsStore& store, QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* restoreButton() const { return restore_; }
    // The editing widgets of row `index`: the check box, name, width, height, delete button.
    QWidget* rowPart(int index, const char* name) const;

private:
    void sync();
    void rebuild();
    QWidget* makeRow(int index);

    AppPresetsStore& store_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* restore_;
    QList<QUuid> rowIds_;
};

} // namespace pintora
