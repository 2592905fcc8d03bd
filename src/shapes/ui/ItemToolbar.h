#pragma once

#include "model/CanvasItem.h"
#include "shapes/ItemToolbarEdits.h"

#include <QFrame>
#include <QSizeF>
#include <QUuid>
#include <optional>

class QHBoxLayout;
class QSlider;

namespace pintora {

class CanvasController;
class PintoraDocument;
class UserDefaults;

// The small toolbar floating above the one selected item: arrowheads for lines and arrows,
// head form and size for callouts, the card style for notes, crop for pictures.
class ItemToolbar : public QFrame {
    Q_OBJECT
public:
    ItemToolbar(PintoraDocument& document, UserDefaults& defaults, QWidget* canvas);

    // Shows the toolbar for `item` (hides it for none or an item without one), placed above
    // the item; `liveOffset` follows an item drag in view points.
    void showFor(const CanvasItem* item, const CanvasController& controller, QSizeF liveOffset);

signals:
    void cropRequested(const QUuid& id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    enum class Kind { none, linear, callout, note, image };
    static Kind kindOf(const CanvasItem* item);
    void rebuild(const CanvasItem& item, Kind kind);
    void clear();
    QWidget* iconButton(const QString& symbol, const QString& tip, bool on,
                        std::function<void()> action);
    void addDivider();

    PintoraDocument& document_;
    UserDefaults& defaults_;
    QHBoxLayout* row_;
    QUuid id_;
    Kind kind_ = Kind::none;
    // What the controls were built from, so they are rebuilt only when it changes.
    std::optional<CanvasItem> shown_;
    QSlider* sizeSlider_ = nullptr;
    CalloutSizeSlider calloutSize_;
};

} // namespace pintora
