#pragma once

#include <QObject>

class QWidget;

namespace pintora {

// Keeps a control that opens a popup from reopening it with the very click that closed it: a
// press outside a popup closes the popup and then reaches the control under the mouse, whose
// release would open it again. Watch each popup the control opens; the release of a press that
// closed one is kept from the control, so a second click on the control closes its popup.
class PopupAnchor : public QObject {
    Q_OBJECT
public:
    explicit PopupAnchor(QWidget* anchor);

    void watch(QWidget* popup);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* anchor_;
    bool swallowRelease_ = false;
};

} // namespace pintora
