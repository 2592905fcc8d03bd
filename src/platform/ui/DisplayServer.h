#pragma once

#include <QGuiApplication>

namespace pintora {

// Whether the program is a Wayland client ("wayland", "wayland-egl"): such a client sees no
// other window and can neither place its own windows nor make them see-through.
inline bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace pintora
