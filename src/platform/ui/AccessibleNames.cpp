#include "platform/ui/AccessibleNames.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace pintora {

namespace {
// Marks a name taken from the tool tip, which may follow it; a name set in the code stays.
const char* const namedByTip = "pintoraNamedByToolTip";
} // namespace

AccessibleNames::AccessibleNames(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool AccessibleNames::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Polish comes once a widget is whole, before it first shows; a tool tip set later
    // arrives as a change.
    if ((type != QEvent::Polish && type != QEvent::ToolTipChange) || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (type == QEvent::ToolTipChange && !widget->testAttribute(Qt::WA_WState_Polished))
        return false;
    const QString tip = widget->toolTip();
    if (tip.isEmpty()) return false;
    if (widget->accessibleName().isEmpty() || widget->property(namedByTip).toBool()) {
        widget->setAccessibleName(tip);
        widget->setProperty(namedByTip, true);
    }
    return false;
}

} // namespace pintora
