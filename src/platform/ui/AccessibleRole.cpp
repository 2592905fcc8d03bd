#include "platform/ui/AccessibleRole.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace pintora {

namespace {

const char* const roleProperty = "pintoraAccessibleRole";

QAccessibleInterface* withRole(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    const QVariant role = object->property(roleProperty);
    if (!role.isValid()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object),
                                 static_cast<QAccessible::Role>(role.toInt()));
}

} // namespace

void setAccessibleRole(QWidget* widget, QAccessible::Role role) {
    static const bool installed = (QAccessible::installFactory(withRole), true);
    Q_UNUSED(installed);
    widget->setProperty(roleProperty, int(role));
}

} // namespace pintora
