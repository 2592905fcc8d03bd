#include "app/ui/SettingsView.h"

#include "app/ui/PresetListEditor.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Symbols.h"
#include "window/AppTab.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace pintora {

namespace {
constexpr QSize windowSize{520, 440};
}

SettingsView::SettingsView(UserDefaults& defaults, AppPresetsStore& presets, QWidget* parent)
    : QDialog(parent), defaults_(defaults), presetEditor_(new PresetListEditor(presets)) {
    setWindowTitle(tr("Pintora Settings"));
    resize(windowSize);
    auto* tabs = new QTabWidget;
    tabs->addTab(makeGeneralTab(), symbolIcon(QStringLiteral("gear")), tr("General"));
    tabs->addTab(presetEditor_, symbolIcon(QStringLiteral("rectangle.on.rectangle")),
                 tr("Viewports"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}

QWidget* SettingsView::makeGeneralTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* browser = new QGroupBox(tr("Browser"));
    auto* browserForm = new QFormLayout(browser);
    defaultURL_ = new QLineEdit(defaults_.defaultURL());
    // Stored as typed; the browser makes an address of it when it loads it.
    connect(defaultURL_, &QLineEdit::textEdited, this,
            [this](const QString& text) { defaults_.setDefaultURL(text); });
    browserForm->addRow(tr("Default URL"), defaultURL_);
    layout->addWidget(browser);

    // Which engine takes captures; the next capture of every window uses it.
    auto* captures = new QGroupBox(tr("Captures"));
    auto* captureForm = new QFormLayout(captures);
    captureEngine_ = new QComboBox;
    captureEngine_->addItem(tr("Chromium when installed, else built-in"), QString());
    captureEngine_->addItem(tr("Chromium"), QStringLiteral("chromium"));
    captureEngine_->addItem(tr("Built-in (Qt WebEngine)"), QStringLiteral("builtin"));
    captureEngine_->setCurrentIndex(std::max(0, captureEngine_->findData(defaults_.captureEngine())));
    connect(captureEngine_, &QComboBox::currentIndexChanged, this, [this](int index) {
        defaults_.setCaptureEngine(captureEngine_->itemData(index).toString());
    });
    captureForm->addRow(tr("Engine"), captureEngine_);
    captureBrowser_ = new QLineEdit(defaults_.captureBrowser());
    captureBrowser_->setPlaceholderText(tr("chromium on PATH, a program, or ws://host:port/…"));
    connect(captureBrowser_, &QLineEdit::textEdited, this,
            [this](const QString& text) { defaults_.setCaptureBrowser(text.trimmed()); });
    captureForm->addRow(tr("Chromium"), captureBrowser_);
    layout->addWidget(captures);

    auto* newDocuments = new QGroupBox(tr("New Documents"));
    auto* newForm = new QFormLayout(newDocuments);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    defaultTab_ = new QButtonGroup(this);
    const auto stored = appTabFromRaw(defaults_.defaultTab());
    for (AppTab tab : allAppTabs) {
        auto* button = new QToolButton;
        button->setText(title(tab));
        button->setCheckable(true);
        button->setChecked(stored == tab);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        defaultTab_->addButton(button, int(tab));
        segments->addWidget(button);
    }
    segments->addStretch();
    connect(defaultTab_, &QButtonGroup::idClicked, this,
            [this](int id) { defaults_.setDefaultTab(rawValue(AppTab(id))); });
    newForm->addRow(tr("Open new documents to"), segments);
    layout->addWidget(newDocuments);
    layout->addStretch();
    return page;
}

} // namespace pintora
