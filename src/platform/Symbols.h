#pragma once

#include <QIcon>
#include <QString>

namespace pintora {

// The icon drawn for a symbol name ("camera.viewfinder", "gear", ...); a null icon for a name
// without a drawing.
QIcon symbolIcon(const QString& name);

} // namespace pintora
