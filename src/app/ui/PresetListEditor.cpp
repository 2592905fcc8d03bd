#include "app/ui/PresetListEditor.h"

#include "capture/AppPresetsStore.h"
#include "capture/ui/PresetList.h"
#include "platform/ui/Symbols.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace pintora {

PresetListEditor::PresetListEditor(AppPresetsStore& store, QWidget* parent)
    : QWidget(parent), store_(store), list_(new PresetList(store)),
      add_(new QPushButton(symbolIcon(QStringLiteral("plus")), tr("Add size"))),
      restore_(new QPushButton(tr("Restore Defaults"))) {
    list_->setMinimumWidth(list_->rowsMinimumWidth());
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addStretch();
    buttons->addWidget(restore_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, [this] { store_.add(); });
    connect(restore_, &QPushButton::clicked, this, [this] { store_.restoreDefaults(); });
    const auto updateRestore = [this] { restore_->setEnabled(!store_.matchesDefaults()); };
    connect(list_, &PresetList::synced, this, updateRestore);
    updateRestore();
}

PresetRow* PresetListEditor::row(int index) const {
    return list_->row(index);
}

} // namespace pintora
