#pragma once

#include <QList>
#include <QListWidget>
#include <QUuid>

namespace pintora {

class AppPresetsStore;
class PresetRow;

// The viewport presets as editable rows, reordered by dragging; every change goes through the
// store, and every change of the store shows here. The sidebar and the settings both use it.
class PresetList : public QListWidget {
    Q_OBJECT
public:
    explicit PresetList(AppPresetsStore& store, QWidget* parent = nullptr);

    PresetRow* row(int index) const;
    // The width the widest row needs to show its whole name and size.
    int rowsMinimumWidth() const { return rowsMinimumWidth_; }

signals:
    // After the rows show the store again; `rebuilt` when they were made anew.
    void synced(bool rebuilt);

private:
    void sync();
    void rebuild();

    AppPresetsStore& store_;
    QList<QUuid> rowIds_;
    int rowsMinimumWidth_ = 0;
};

} // namespace pintora
