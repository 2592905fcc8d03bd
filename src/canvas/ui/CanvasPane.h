#pragma once

#include "canvas/CanvasContext.h"
#include "canvas/DrawingGesture.h"
#include "canvas/MoveMode.h"
#include "canvas/SelectionGestures.h"
#include "canvas/TextEditSession.h"
#include "shapes/ResizeHandles.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <variant>

namespace pintora {

class CanvasController;
class ItemToolbar;
class PintoraDocument;
class TextEditorOverlay;
class UserDefaults;

// The annotate tab's canvas: draws the items over the grid with the selection decorations,
// and turns the pointer into the canvas gestures (drawing, selecting, moving, resizing, text
// editing, cropping). The window owns the tool and the selection; the pane works on copies
// and announces every change.
class CanvasPane : public QWidget {
    Q_OBJECT
public:
    CanvasPane(PintoraDocument& document, CanvasController& controller, UserDefaults& defaults,
               QWidget* parent = nullptr);
    ~CanvasPane() override;

    Tool tool() const { return tool_; }
    void setTool(Tool tool);
    const Selection& selection() const { return selection_; }
    void setSelection(const Selection& selection);

    // Ends a text edit in progress, as a click on empty canvas does.
    // Opens the editor on a text or note, as a double-click does; false for any other item.
    bool editText(const QUuid& id);
    // Opens the crop sheet on a picture, as its toolbar's Crop does; false for any other item.
    bool cropPicture(const QUuid& id);
    void endTextEditing();
    // The keyboard's drawing: the current tool's item at the centre of the view, as one step.
    void placeAtCentre();
    // Tab (`forward`) or Shift+Tab on the canvas: selects the next or previous item in stacking
    // order and shows it. Past either end the selection empties and false comes back, so the
    // keyboard moves on to the window's other controls.
    bool stepSelection(bool forward);
    bool isEditingText() const;
    // The document's state with the words of an open editor in their item, as the user sees
    // it, without ending the edit.
    CanvasState stateAsShown() const;
    std::optional<QUuid> editingTextId() const { return textEdit_.editingId(); }
    QWidget* textEditor() const;

    // Places dropped or pasted pictures as one "Capture" step at a view point (or below the
    // content); returns whether anything was placed.
    bool placePictures(const QList<QImage>& pictures, std::optional<QPointF> viewPoint);

    // The pictures a drop or paste carries: image data, or image files among its addresses.
    static QList<QImage> picturesIn(const QMimeData* mime);

    // The state of the gestures, for the toolbar and for tests.
    const DrawingGesture& drawing() const { return drawing_; }
    const ItemDrag& itemDrag() const { return itemDrag_; }
    std::optional<QRectF> marquee() const { return marquee_.rect(); }

signals:
    void toolChanged(Tool tool);
    void selectionChanged(const Selection& selection);
    // Pictures were placed: the window shows the annotate tab and fits the content.
    void picturesPlaced();
    // The crop editor for a picture item.
    void cropRequested(const QUuid& id);
    // Something the user should know, for the window's notice band.
    void noticeRequested(const QString& message);
    // Words were typed into the open editor (they reach the document when the edit ends).
    void textTyped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QElapsedTimer shownClock_; // since the pane was first shown
    // What the pointer is doing between press and release.
    struct HandlePress {
        QUuid id;
        std::variant<ResizeHandle, Endpoint> handle;
        bool lockByDefault;
    };
    struct ItemPress {
        QUuid id;
    };
    struct EmptyPress {};
    struct DrawPress {};
    using Press = std::variant<std::monostate, HandlePress, ItemPress, EmptyPress, DrawPress>;

    CanvasContext context();
    // Tells the window about tool and selection changes a gesture made.
    void publish(Tool toolBefore, const Selection& selectionBefore);
    std::optional<QUuid> itemAt(QPointF viewPoint) const;
    std::optional<HandlePress> handleAt(QPointF viewPoint) const;
    QPointF offsetOf(const QUuid& id) const;
    void beginTextEdit(const QUuid& id);
    void syncTextEditor();
    void syncItemToolbar();
    void stateChanged();

    // Returns how many pictures had something stand in for them.
    int paintItems(QPainter& painter);
    void paintDecorations(QPainter& painter);

    PintoraDocument& document_;
    CanvasController& controller_;
    UserDefaults& defaults_;
    Tool tool_ = Tool::select;
    Selection selection_;

    MoveMode moveMode_;
    TextEditSession textEdit_;
    DrawingGesture drawing_{moveMode_, textEdit_};
    ItemDrag itemDrag_;
    MarqueeGesture marquee_;
    HandleDrag handleDrag_;

    // The canvas came into focus from the keyboard: a ring shows where the keys go, until the
    // pointer is used on it.
    bool keyboardFocus_ = false;
    Press press_;
    QPointF pressPoint_;
    bool dragStarted_ = false;

    QPointer<TextEditorOverlay> editor_;
    ItemToolbar* itemToolbar_ = nullptr;
};

} // namespace pintora
