#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLineEdit;

namespace pintora {

class AppPresetsStore;
class PresetListEditor;
class UserDefaults;

// The settings window: General (start page, capture engine, tab of new documents) and Viewports (the preset
// list). Every change is stored at once; there is nothing to confirm.
class SettingsView : public QDialog {
    Q_OBJECT
public:
    SettingsView(UserDefaults& defaults, AppPresetsStore& presets, QWidget* parent = nullptr);

    QLineEdit* defaultURLField() const { return defaultURL_; }
    QButtonGroup* defaultTabPicker() const { return defaultTab_; }
    QComboBox* captureEnginePicker() const { return captureEngine_; }
    PresetListEditor* presetEditor() const { return presetEditor_; }

private:
    QWidget* makeGeneralTab();

    UserDefaults& defaults_;
    QLineEdit* defaultURL_ = nullptr;
    QButtonGroup* defaultTab_ = nullptr;
    QComboBox* captureEngine_ = nullptr;
    QLineEdit* captureBrowser_ = nullptr;
    PresetListEditor* presetEditor_;
};

} // namespace pintora
