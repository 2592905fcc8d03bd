#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace pintora {

// The icon drawn for a symbol name ("camera.viewfinder", "gear", ...); a null icon for a name
// without a drawing.
QIcon symbolIcon(const QString& name);

// The symbol drawn in one colour (its shapes keep their coverage), at the sizes toolbars use.
QIcon tintedSymbol(const QString& name, const QColor& color);

} // namespace pintora
