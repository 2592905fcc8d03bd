#pragma once

#include <QString>

namespace pintora {

// Text from outside (a page title, a browser's window name) as a menu item shows it: every
// "&" doubled, so that "Q&A" reads as it is and makes no shortcut.
inline QString menuItemText(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace pintora
