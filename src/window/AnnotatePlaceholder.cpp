#include "window/AnnotatePlaceholder.h"

#include <QResizeEvent>

namespace pintora {

AnnotatePlaceholder::AnnotatePlaceholder(QWidget* parent) : QWidget(parent) {
    // Keys reach the window's key handling through focus on the canvas.
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void AnnotatePlaceholder::resizeEvent(QResizeEvent* event) {
    // Only a laid-out, visible view has a size worth fitting into.
    if (isVisible()) viewportSize_ = event->size();
    QWidget::resizeEvent(event);
}

void AnnotatePlaceholder::showEvent(QShowEvent* event) {
    viewportSize_ = size();
    QWidget::showEvent(event);
}

} // namespace pintora
