#pragma once

#include "canvas/Tool.h"
#include "export/ToolbarRules.h"
#include "model/SelectionEdits.h"
#include "picker/ui/ColorPicker.h"

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QSlider;
class QToolButton;

namespace pintora {

class CanvasController;
class DragOutThumb;
class PintoraDocument;
class UserDefaults;

// The row above the canvas: the tools, the settings for what is drawn or selected (shown only
// when they apply), then fit, zoom, the drag-out thumbnail and export.
class AnnotateToolbar : public QWidget {
    Q_OBJECT
public:
    AnnotateToolbar(PintoraDocument& document, CanvasController& controller, UserDefaults& defaults,
                    QWidget* parent = nullptr);

    void setTool(Tool tool);
    void setSelection(const Selection& selection);

    // For tests and the window's wiring.
    QToolButton* toolButton(Tool tool) const;
    ColorPicker* colorPicker() const { return picker_; }
    QWidget* lineWidthControl() const { return widthGroup_; }
    QSlider* lineWidthSlider() const { return widthSlider_; }
    QWidget* fontSizeControl() const { return sizeGroup_; }
    QSlider* fontSizeSlider() const { return sizeSlider_; }
    QWidget* noteStyleControl() const { return noteGroup_; }
    QSlider* zoomSlider() const { return zoomSlider_; }
    DragOutThumb* thumbnail() const { return thumb_; }

signals:
    void toolPicked(Tool tool);
    void fitRequested();
    void exportRequested();

private:
    void refresh();
    void rebuildPicker(const ToolbarConditions& conditions);
    void syncNoteStyles();

    PintoraDocument& document_;
    CanvasController& controller_;
    UserDefaults& defaults_;
    Tool tool_ = Tool::select;
    Selection selection_;

    QHBoxLayout* row_;
    QList<QToolButton*> toolButtons_;
    QWidget* pickerSlot_;
    QPointer<ColorPicker> picker_;
    QString pickerKey_;
    QWidget* widthGroup_;
    QSlider* widthSlider_;
    QLabel* widthLabel_;
    QWidget* sizeGroup_;
    QSlider* sizeSlider_;
    QLabel* sizeLabel_;
    QWidget* noteGroup_;
    QSlider* zoomSlider_;
    DragOutThumb* thumb_;
};

} // namespace pintora
