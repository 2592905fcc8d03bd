#include "window/AnnotatePlaceholder.h"

#include "canvas/CanvasController.h"

#include <QResizeEvent>

namespace pintora {

AnnotatePlaceholder::AnnotatePlaceholder(CanvasController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller) {
    // Keys reach the window's key handling through focus on the canvas.
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void AnnotatePlaceholder::resizeEvent(QResizeEvent* event) {
    // Only a laid-out, visible view has a size worth fitting into.
    if (isVisible()) controller_.setViewportSize(event->size());
    QWidget::resizeEvent(event);
}

void AnnotatePlaceholder::showEvent(QShowEvent* event) {
    controller_.setViewportSize(size());
    QWidget::showEvent(event);
}

} // namespace pintora
