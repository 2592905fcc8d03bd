#pragma once

#include <QWidget>

namespace pintora {

class CanvasController;

// Holds the annotate tab's place until the canvas pane lands, and tells the canvas controller
// the size of the view, as the canvas pane will.
class AnnotatePlaceholder : public QWidget {
    Q_OBJECT
public:
    explicit AnnotatePlaceholder(CanvasController& controller, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CanvasController& controller_;
};

} // namespace pintora
