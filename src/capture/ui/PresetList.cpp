#include "capture/ui/PresetList.h"

#include "capture/AppPresetsStore.h"
#include "capture/ui/PresetRow.h"

#include <algorithm>

namespace pintora {

PresetList::PresetList(AppPresetsStore& store, QWidget* parent)
    : QListWidget(parent), store_(store) {
    setDragDropMode(QAbstractItemView::InternalMove);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(tr("Viewport sizes"));
    followRowMoves(*model(), store_, this);
    connect(&store_, &AppPresetsStore::presetsChanged, this, &PresetList::sync);
    rebuild();
}

PresetRow* PresetList::row(int index) const {
    return qobject_cast<PresetRow*>(itemWidget(item(index)));
}

void PresetList::sync() {
    QList<QUuid> ids;
    for (const ViewportPreset& preset : store_.presets())
        ids.append(preset.id);
    if (ids != rowIds_) {
        rebuild();
        emit synced(true);
        return;
    }
    // Same rows: show the new values without taking the focus from the one being edited.
    for (int i = 0; i < ids.size(); ++i) {
        row(i)->display(store_.presetAt(i));
        item(i)->setData(Qt::AccessibleTextRole, PresetRow::rowName(store_.presetAt(i)));
    }
    emit synced(false);
}

void PresetList::rebuild() {
    clear();
    rowIds_.clear();
    rowsMinimumWidth_ = 0;
    for (const ViewportPreset& preset : store_.presets()) {
        auto* item = new QListWidgetItem(this);
        item->setData(Qt::AccessibleTextRole, PresetRow::rowName(preset));
        auto* presetRow = new PresetRow(preset);
        const int width = presetRow->minimumSizeHint().width();
        item->setSizeHint(QSize(width, presetRow->sizeHint().height()));
        rowsMinimumWidth_ = std::max(rowsMinimumWidth_, width);
        setItemWidget(item, presetRow);
        rowIds_.append(preset.id);
        const QUuid id = preset.id;
        // Rows are found by id when they act: the list may have moved since they were made.
        connect(presetRow, &PresetRow::edited, this, [this, id](const ViewportPreset& changed) {
            const qsizetype at = rowIds_.indexOf(id);
            if (at >= 0) store_.replace(at, changed);
        });
        connect(presetRow, &PresetRow::deleteRequested, this, [this, id] {
            // After the click returns: removing the preset rebuilds the rows, this one too.
            QMetaObject::invokeMethod(
                this,
                [this, id] {
                    const qsizetype at = rowIds_.indexOf(id);
                    if (at >= 0) store_.remove(at);
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace pintora
