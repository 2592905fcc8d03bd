#pragma once

#include <QObject>

namespace pintora {

// Gives each control that shows a tool tip but has no name of its own the tool tip's words as
// its accessible name, so that a screen reader says "Rect (R), toggle button, pressed" rather
// than "button". It watches the whole application: controls made later, in popovers or
// sheets, are named as they first show, and follow their tool tip when it changes.
class AccessibleNames : public QObject {
public:
    explicit AccessibleNames(QObject* parent = nullptr);

protected:
    // Sees every event of the application, also those of objects being torn down; only
    // QObject's and QWidget's own members are used on them.
    __attribute__((no_sanitize("vptr"))) bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace pintora
