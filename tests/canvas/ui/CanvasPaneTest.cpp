#include "canvas/ui/CanvasPane.h"

#include "canvas/ItemPainter.h"
#include "canvas/TextMetrics.h"
#include "model/Geometry.h"
#include "shapes/ui/CropEditorDialog.h"
#include "shapes/ui/ItemToolbar.h"
#include "support/TestFiles.h"
#include "support/Workbench.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

struct CanvasPaneTest : ::testing::Test, test::Workbench {
    CanvasPane pane{document, controller, defaults};

    CanvasPaneTest() {
        pane.resize(800, 600);
        pane.show();
        QApplication::setActiveWindow(&pane);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
    }

    void send(QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers = {}) {
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, pane.mapToGlobal(at), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(&pane, &event);
    }
    // A press, moves in small steps, and a release, as a hand makes them.
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {}) {
        send(QEvent::MouseButtonPress, from, modifiers);
        for (int i = 1; i <= 8; ++i)
            send(QEvent::MouseMove, from + (to - from) * i / 8, modifiers);
        send(QEvent::MouseButtonRelease, to, modifiers);
    }
    void click(QPointF at, Qt::KeyboardModifiers modifiers = {}) { drag(at, at, modifiers); }
    QUndoStack& undo() { return *document.undoStack(); }
    QWidget* editor() { return pane.textEditor(); }
    // Clicks with the note tool and waits for the keyboard; returns the new card's id.
    QUuid startNote() {
        pane.setTool(Tool::note);
        click({100, 100});
        EXPECT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
        return document.state().items.constLast().id();
    }
};

} // namespace

TEST_F(CanvasPaneTest, DrawingClicksAndMarqueeWorkInCanvasUnits) {
    QSignalSpy selections(&pane, &CanvasPane::selectionChanged); // the window's copy follows
    pane.setTool(Tool::rect);
    controller.setZoom(2);
    drag({100, 100}, {300, 200});
    ASSERT_EQ(document.state().items.size(), 1);
    const QUuid a = document.state().items[0].id();
    EXPECT_EQ(frame(a), QRectF(50, 50, 100, 50));
    EXPECT_EQ(pane.selection(), Selection{a});
    EXPECT_EQ(selections.count(), 1);

    pane.setTool(Tool::select);
    controller.setZoom(1);
    const QUuid b = add(makeShape(ShapeKind::ellipse, {300, 100, 100, 100}));
    click({350, 150}, Qt::ShiftModifier);
    EXPECT_EQ(pane.selection(), (Selection{a, b}));
    click({600, 500});
    EXPECT_TRUE(pane.selection().isEmpty()) << "a click on empty canvas";
    drag({40, 40}, {320, 120});
    EXPECT_EQ(pane.selection(), (Selection{a, b}));
    EXPECT_FALSE(pane.marquee());
    pane.resize(640, 480);
    EXPECT_EQ(controller.viewportSize(), QSizeF(640, 480)) << "the view size is kept current";
}

TEST_F(CanvasPaneTest, DragsMoveTheSelectionAndHandlesResizeOnlyAsDrawn) {
    const QUuid a = add(makeShape(ShapeKind::rect, {100, 100, 100, 100}));
    const QUuid b = add(makeShape(ShapeKind::rect, {300, 100, 100, 100}));
    pane.setSelection({a, b});
    // Two selected items show no handles, so a press on a's corner moves both.
    drag({200, 200}, {240, 220});
    EXPECT_EQ(frame(a), QRectF(140, 120, 100, 100));
    EXPECT_EQ(frame(b), QRectF(340, 120, 100, 100));
    undo().undo();
    // Less than the drag distance is a click, not a move.
    drag({150, 150}, {155, 152});
    EXPECT_EQ(frame(a), QRectF(100, 100, 100, 100));
    EXPECT_EQ(pane.selection(), Selection{a});

    drag({200, 200}, {240, 220}); // the south-east handle
    EXPECT_EQ(frame(a), QRectF(100, 100, 140, 120));
    undo().undo();
    EXPECT_EQ(frame(a), QRectF(100, 100, 100, 100));
    const QUuid line = add(makeShape(ShapeKind::line, {400, 300, 100, 0}));
    pane.setSelection({line});
    drag({500, 300}, {500, 350}); // the end point
    EXPECT_EQ(frame(line), QRectF(400, 300, 100, 50));
}

TEST_F(CanvasPaneTest, ModifiersCountAsTheyAreNowAndTheDragDistanceIsInCanvasUnits) {
    // Shift let go during the drag: the rectangle is no longer held square.
    pane.setTool(Tool::rect);
    send(QEvent::MouseButtonPress, {100, 300}, Qt::ShiftModifier);
    send(QEvent::MouseMove, {130, 350}, Qt::ShiftModifier);
    send(QEvent::MouseMove, {160, 400});
    send(QEvent::MouseButtonRelease, {160, 400});
    EXPECT_EQ(document.state().items.last().frame(), QRectF(100, 300, 60, 100));

    // 8 view points at zoom 0.5 move an item, 15 at zoom 2 do not.
    const QUuid c = add(makeShape(ShapeKind::rect, {500, 200, 100, 100}));
    pane.setTool(Tool::select);
    for (double zoom : {0.5, 2.0}) {
        controller.setZoom(zoom);
        const QPointF at = controller.viewPoint({550, 250});
        drag(at, at + QPointF(zoom < 1 ? 8 : 15, 0));
        EXPECT_EQ(frame(c).topLeft(), QPointF(516, 200)) << zoom;
    }
}

TEST_F(CanvasPaneTest, TypedLinesAreCommittedAndACardBeingEditedShowsNoHandles) {
    const QUuid id = startNote();
    QTest::keyClicks(editor(), QStringLiteral("Ship it"));
    QTest::keyClick(editor(), Qt::Key_Return); // a new line, not the end of the edit
    QTest::keyClicks(editor(), QStringLiteral("today"));
    const QPoint corner = controller.viewRect(frame(id)).bottomRight().toPoint();
    // A handle is a white dot; nothing else near the card's corner is pure white.
    const auto handlePixels = [&] {
        const QImage shot = pane.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = corner.y() - 6; y <= corner.y() + 6; ++y)
            for (int x = corner.x() - 6; x <= corner.x() + 6; ++x)
                count += shot.pixel(x, y) == qRgb(255, 255, 255);
        return count;
    };
    EXPECT_EQ(handlePixels(), 0);
    QTest::keyClick(editor(), Qt::Key_Escape);
    EXPECT_GT(handlePixels(), 20) << "the probe finds the handle once the edit ends";
    EXPECT_FALSE(pane.editingTextId());
    EXPECT_EQ(item(id).text()->string, QStringLiteral("Ship it\ntoday"));
    // A double-click on the card edits its words again.
    pane.setTool(Tool::select);
    send(QEvent::MouseButtonDblClick, controller.viewRect(frame(id)).center());
    EXPECT_EQ(pane.editingTextId(), id);
    QTest::keyClick(editor(), Qt::Key_Escape);

    // A click on empty canvas ends an edit; a text left empty goes.
    pane.setTool(Tool::text);
    click({400, 300});
    QTRY_VERIFY(editor() && editor()->hasFocus());
    click({600, 500});
    EXPECT_EQ(document.state().items.size(), 1);
    EXPECT_EQ(undo().undoText(), QStringLiteral("Delete Text"));
}

TEST_F(CanvasPaneTest, ALongWordWrapsAlikeInTheEditorTheFrameAndTheDrawing) {
    const QUuid id = startNote();
    // An address longer than a line: it moves to a line of its own, then breaks where it must.
    QTest::keyClicks(editor(), QStringLiteral("See https://example.org/a/very/long/path/without/"
                                              "any/spaces/0123456789abcdef0123456789abcdef"));
    const int lines =
        static_cast<QPlainTextEdit*>(editor())->document()->firstBlock().layout()->lineCount();
    EXPECT_GE(lines, 3);
    const double spacing = QFontMetricsF(itemFont(item(id).text()->fontSize)).lineSpacing();
    EXPECT_GE(textArea(*item(id).text()).height(), lines * spacing - 1)
        << "the frame grew by every line the editor shows";
    QTest::keyClick(editor(), Qt::Key_Escape);

    const QRectF box = standardized(frame(id));
    QImage image(box.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(-box.topLeft());
    paintItem(painter, item(id), QImage(), PaintTarget::canvas);
    painter.end();
    // The lowest row with dark ink between the card's margins lies in the editor's last line.
    const QRectF area = textArea(*item(id).text());
    int lowest = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = int(area.left() - box.left()); x < int(area.right() - box.left()); ++x)
            if (qGray(image.pixel(x, y)) < 100) lowest = y;
    EXPECT_GT(lowest + box.top(), area.top() + (lines - 1) * spacing)
        << "the committed text is drawn on as many lines";
}

TEST_F(CanvasPaneTest, TheEditorBreaksLinesAsTheTextIsDrawnAtAnyZoomAndKeepsNoBreakSpaces) {
    const QString words = QStringLiteral(
        "Release\u00a0notes for the spring build, with a list of every fix that went into it");
    for (double zoom : {0.3, 0.55, 0.8, 1.13, 1.37, 1.9}) {
        SCOPED_TRACE(zoom);
        controller.setZoom(zoom);
        const QUuid id = startNote();
        QTest::keyClicks(editor(), words);
        const TextItem text = *item(id).text();
        // Where each line starts, in the editor and as the canvas lays the text out.
        QList<int> typed, drawn;
        const QTextLayout* editing =
            static_cast<QPlainTextEdit*>(editor())->document()->firstBlock().layout();
        for (int i = 0; i < editing->lineCount(); ++i)
            typed << editing->lineAt(i).textStart();
        QTextLayout layout(words, itemFont(text.fontSize));
        QTextOption option;
        option.setWrapMode(textWrapMode);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(textArea(text).width());
            drawn << line.textStart();
        }
        layout.endLayout();
        EXPECT_EQ(typed, drawn);
        QTest::keyClick(editor(), Qt::Key_Escape);
        EXPECT_EQ(item(id).text()->string, words) << "the no-break space stays one";
    }
}

TEST_F(CanvasPaneTest, ADropPlacesThePicturesAtThePointer) {
    QSignalSpy placed(&pane, &CanvasPane::picturesPlaced); // the window shows and fits them
    QMimeData mime;
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    mime.setImageData(picture);
    controller.setPan({100, 50});
    QDragEnterEvent enter(QPoint(300, 250), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&pane, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 250), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&pane, &drop);
    ASSERT_EQ(document.state().items.size(), 1);
    EXPECT_EQ(document.state().items[0].frame(), QRectF(100, 150, 200, 100));
    EXPECT_EQ(placed.count(), 1);
}

TEST_F(CanvasPaneTest, TheItemToolbarShowsForOneSelectedItemAndEditsIt) {
    const QUuid arrow = add(makeShape(ShapeKind::arrow, {100, 300, 300, 0}));
    pane.setSelection({arrow});
    auto* toolbar = pane.findChild<ItemToolbar*>();
    ASSERT_TRUE(toolbar && toolbar->isVisible());
    for (QToolButton* button : toolbar->findChildren<QToolButton*>())
        if (button->toolTip() == QStringLiteral("End arrowhead")) button->click();
    EXPECT_FALSE(item(arrow).shape()->hasEndHead);
    pane.setSelection({});
    EXPECT_FALSE(toolbar->isVisible());
}

TEST(CropEditor, AHandleDragInTheViewCropsAndResetUndoesIt) {
    ImageItem item{.pngData = test::pngBytes(400, 200), .cropRect = QRectF(0.2, 0, 0.5, 1)};
    CropEditorDialog dialog(item, nullptr);
    dialog.resize(820, 620);
    dialog.show();
    CropArea* area = dialog.area();
    const QRectF image = area->imageRect();
    ASSERT_FALSE(image.isEmpty());
    // The east handle dragged left by a quarter of the picture's width.
    const QPointF east(image.left() + 0.7 * image.width(), image.center().y());
    QTest::mousePress(area, Qt::LeftButton, {}, east.toPoint());
    for (int i = 1; i <= 5; ++i)
        QTest::mouseMove(area, (east - QPointF(0.05 * i * image.width(), 0)).toPoint());
    QTest::mouseRelease(area, Qt::LeftButton, {},
                        (east - QPointF(0.25 * image.width(), 0)).toPoint());
    EXPECT_NEAR(dialog.crop().width(), 0.25, 0.01);
    EXPECT_NEAR(dialog.crop().x(), 0.2, 1e-9);
    // The keys move the frame by pixels of the picture (400 wide) and, with Ctrl, resize it.
    ASSERT_TRUE(area->hasFocus() || (area->setFocus(), true));
    const double width = dialog.crop().width();
    QTest::keyClick(area, Qt::Key_Right);
    QTest::keyClick(area, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(area, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_NEAR(dialog.crop().x(), 0.2 + 11 / 400.0, 1e-9);
    EXPECT_NEAR(dialog.crop().width(), width - 10 / 400.0, 1e-9);
    const auto button = [&](const char* text) {
        for (QPushButton* found : dialog.findChildren<QPushButton*>())
            if (found->text() == QLatin1String(text)) return found;
        return static_cast<QPushButton*>(nullptr);
    };
    button("Reset")->click();
    EXPECT_EQ(dialog.crop(), fullCrop);
    // Return on a focused Cancel cancels; it never applies the crop.
    QSignalSpy accepted(&dialog, &QDialog::accepted), rejected(&dialog, &QDialog::rejected);
    button("Cancel")->setFocus();
    QTest::keyClick(button("Cancel"), Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(rejected.count(), 1);
}
