#include "app/PresetListEditor.h"

#include "capture/AppPresetsStore.h"
#include "platform/Symbols.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace pintora {

namespace {
// Pages narrower or taller than this make no sense to render.
constexpr int smallestSide = 1;
constexpr int largestSide = 30000;

QSpinBox* sizeBox(const char* name) {
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(smallestSide, largestSide);
    box->setKeyboardTracking(false);
    return box;
}
} // namespace

PresetListEditor::PresetListEditor(AppPresetsStore& store, QWidget* parent)
    : QWidget(parent), store_(store), list_(new QListWidget),
      add_(new QPushButton(symbolIcon(QStringLiteral("plus")), tr("Add size"))),
      restore_(new QPushButton(tr("Restore Defaults"))) {
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addStretch();
    buttons->addWidget(restore_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, [this] { store_.add(); });
    connect(restore_, &QPushButton::clicked, this, [this] { store_.restoreDefaults(); });
    followRowMoves(*list_->model(), store_, this);
    connect(&store_, &AppPresetsStore::presetsChanged, this, &PresetListEditor::sync);
    rebuild();
}

QWidget* PresetListEditor::rowPart(int index, const char* name) const {
    QWidget* row = list_->itemWidget(list_->item(index));
    return row ? row->findChild<QWidget*>(QLatin1String(name)) : nullptr;
}

void PresetListEditor::sync() {
    QList<QUuid> ids;
    for (const ViewportPreset& preset : store_.presets())
        ids.append(preset.id);
    if (ids != rowIds_) {
        rebuild();
        return;
    }
    // Same rows: refresh their values without taking the focus from the one being edited.
    for (int i = 0; i < ids.size(); ++i) {
        const ViewportPreset preset = store_.presetAt(i);
        auto* enabled = static_cast<QCheckBox*>(rowPart(i, "enabled"));
        auto* name = static_cast<QLineEdit*>(rowPart(i, "name"));
        auto* width = static_cast<QSpinBox*>(rowPart(i, "width"));
        auto* height = static_cast<QSpinBox*>(rowPart(i, "height"));
        const QSignalBlocker b1(enabled), b2(name), b3(width), b4(height);
        enabled->setChecked(preset.enabled);
        if (name->text() != preset.name) name->setText(preset.name);
        width->setValue(int(preset.width));
        height->setValue(int(preset.height));
    }
    restore_->setEnabled(!store_.matchesDefaults());
}

void PresetListEditor::rebuild() {
    list_->clear();
    rowIds_.clear();
    for (int i = 0; i < store_.presets().size(); ++i) {
        auto* item = new QListWidgetItem(list_);
        QWidget* row = makeRow(i);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
        rowIds_.append(store_.presets()[i].id);
    }
    restore_->setEnabled(!store_.matchesDefaults());
}

QWidget* PresetListEditor::makeRow(int index) {
    const ViewportPreset preset = store_.presetAt(index);
    const QUuid id = preset.id;
    auto* row = new QWidget;
    auto* enabled = new QCheckBox;
    enabled->setObjectName(QStringLiteral("enabled"));
    enabled->setChecked(preset.enabled);
    auto* name = new QLineEdit(preset.name);
    name->setObjectName(QStringLiteral("name"));
    name->setPlaceholderText(tr("Name"));
    auto* width = sizeBox("width");
    width->setValue(int(preset.width));
    auto* height = sizeBox("height");
    height->setValue(int(preset.height));
    auto* remove = new QToolButton;
    remove->setObjectName(QStringLiteral("delete"));
    remove->setIcon(symbolIcon(QStringLiteral("xmark")));
    remove->setToolTip(tr("Delete"));
    remove->setAutoRaise(true);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(enabled);
    layout->addWidget(name, 1);
    layout->addWidget(width);
    layout->addWidget(new QLabel(QStringLiteral("×")));
    layout->addWidget(height);
    layout->addWidget(remove);

    // Rows are found by id when they act: the list may have moved since they were made.
    const auto edit = [this, id](auto change) {
        const qsizetype at = rowIds_.indexOf(id);
        if (at < 0) return;
        ViewportPreset changed = store_.presetAt(at);
        change(changed);
        store_.replace(at, changed);
    };
    connect(enabled, &QCheckBox::toggled, this,
            [edit](bool on) { edit([on](ViewportPreset& p) { p.enabled = on; }); });
    connect(name, &QLineEdit::textEdited, this,
            [edit](const QString& text) { edit([text](ViewportPreset& p) { p.name = text; }); });
    connect(width, &QSpinBox::valueChanged, this,
            [edit](int value) { edit([value](ViewportPreset& p) { p.width = value; }); });
    connect(height, &QSpinBox::valueChanged, this,
            [edit](int value) { edit([value](ViewportPreset& p) { p.height = value; }); });
    connect(remove, &QToolButton::clicked, this, [this, id] {
        // After the click returns: removing the preset rebuilds the rows, this button included.
        QMetaObject::invokeMethod(
            this, [this, id] { store_.remove(rowIds_.indexOf(id)); }, Qt::QueuedConnection);
    });
    return row;
}

} // namespace pintora
