#pragma once

#include "capture/CaptureProgress.h"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;

namespace pintora {

class AppPresetsStore;
class PresetList;
class PresetRow;
class UserDefaults;

// Beside the browser: the viewport presets to switch on and off, edit and reorder, the choice
// of a visible or a full-page capture, and the capture button with its progress.
class CapturePresetsSidebar : public QWidget {
    Q_OBJECT
public:
    CapturePresetsSidebar(AppPresetsStore& store, UserDefaults& defaults,
                          QWidget* parent = nullptr);

    void setCaptureProgress(std::optional<CaptureProgress> progress);
    // What the last capture wants the user to know (a page cut at the height limit), a line
    // each, under the capture button until the next capture starts.
    void addCaptureNotice(const QString& text);
    void clearCaptureNotices();
    // Which engine takes the pictures, under the capture button ("Chromium 156").
    void setEngineLabel(const QString& text);
    QLabel* engineLabel() const { return engine_; }
    static QString countLabel(const AppPresetsStore& store);
    static QString captureLabel(std::optional<CaptureProgress> progress);

    QLabel* countLabel() const { return count_; }
    QPushButton* captureButton() const { return capture_; }
    // Beside the capture button while a capture runs.
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* visibleButton() const { return visible_; }
    QPushButton* fullPageButton() const { return fullPage_; }
    PresetList* list() const { return list_; }
    PresetRow* row(int index) const;

signals:
    void captureAllRequested();
    void cancelRequested();

private:
    void fitRows();
    void updateButton();

    AppPresetsStore& store_;
    UserDefaults& defaults_;
    QLabel* count_;
    PresetList* list_;
    QPushButton* add_;
    QPushButton* visible_;
    QPushButton* fullPage_;
    QPushButton* capture_;
    QPushButton* cancel_;
    QLabel* notice_;
    QLabel* engine_;
    std::optional<CaptureProgress> progress_;
};

} // namespace pintora
