#pragma once

#include <QObject>

namespace pintora {

// Return and Enter press the focused button, as Space does: outside a dialog Qt's buttons
// answer Space only, and a keyboard user expects either. A button with a menu opens it.
class ReturnPressesButtons : public QObject {
public:
    explicit ReturnPressesButtons(QObject* parent = nullptr);

protected:
    // Sees every event of the application, also those of objects being torn down; only
    // QObject's and QWidget's own members are used on them before the cast is checked.
    __attribute__((no_sanitize("vptr"))) bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace pintora
