#include "export/ui/AnnotateToolbar.h"

#include "export/ui/DragOutThumb.h"
#include "export/ui/ExportCommand.h"
#include "picker/ui/ColorPicker.h"
#include "support/TestFiles.h"
#include "support/Workbench.h"

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace pintora;

namespace {

struct ToolbarWidgetTest : ::testing::Test, test::Workbench {
    AnnotateToolbar toolbar{document, controller, defaults};

    ToolbarWidgetTest() {
        toolbar.resize(1400, 40);
        toolbar.show();
    }
};

} // namespace

TEST_F(ToolbarWidgetTest, ControlsAppearForTheToolAndSelection) {
    auto shown = [&] {
        return std::tuple{toolbar.colorPicker()->isVisibleTo(&toolbar),
                          toolbar.lineWidthControl()->isVisibleTo(&toolbar),
                          toolbar.fontSizeControl()->isVisibleTo(&toolbar),
                          toolbar.noteStyleControl()->isVisibleTo(&toolbar)};
    };
    toolbar.toolButton(Tool::note)->click();
    EXPECT_TRUE(toolbar.toolButton(Tool::note)->isChecked());
    EXPECT_EQ(shown(), std::tuple(false, false, true, true));
    toolbar.setTool(Tool::select);
    toolbar.setSelection({add(makeShape(ShapeKind::rect, {}))});
    EXPECT_EQ(shown(), std::tuple(true, true, false, false));
}

TEST_F(ToolbarWidgetTest, SlidersEditTheSelectionAndTheZoom) {
    const QUuid box = add(makeShape(ShapeKind::rect, {}));
    toolbar.setSelection({box});
    toolbar.lineWidthSlider()->setValue(5);
    EXPECT_EQ(item(box).shape()->lineWidth, 5);
    EXPECT_EQ(document.state().defaultLineWidth, 5);

    toolbar.zoomSlider()->setValue(250);
    EXPECT_DOUBLE_EQ(controller.zoom(), 2.5);
    controller.setZoom(6);
    EXPECT_EQ(toolbar.zoomSlider()->value(), 400) << "beyond the slider: at its end";
}

TEST_F(ToolbarWidgetTest, ATypedOrPickedColourGoesToTheRightDefault) {
    toolbar.setTool(Tool::text);
    ColorPicker* picker = toolbar.colorPicker();
    picker->togglePopover();
    QLineEdit* field = picker->popover()->hexField();
    const auto type = [&](const char* text) {
        field->clear();
        QTest::keyClicks(field, QString::fromLatin1(text));
    };
    type("   ");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(picker->popoverShown()) << "blank text writes nothing and keeps it open";
    type("#00ff00");
    EXPECT_EQ(defaults.defaultTextHex(), QStringLiteral("#000000")) << "not before Return";
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(defaults.defaultTextHex(), QStringLiteral("#00ff00")) << "as typed";
    EXPECT_FALSE(picker->popoverShown());

    const QUuid box = add(makeShape(ShapeKind::rect, {}));
    toolbar.setTool(Tool::select);
    toolbar.setSelection({box});
    EXPECT_NE(toolbar.colorPicker(), picker) << "made anew for what it now edits";
    const QString before = item(box).shape()->strokeHex;
    toolbar.colorPicker()->togglePopover();
    toolbar.colorPicker()->popover()->findChildren<QToolButton*>().last()->click(); // a swatch
    EXPECT_NE(item(box).shape()->strokeHex, before) << "the swatch's colour is the box's";
}

TEST(ColorPickerWidget, TheColourDialogWritesUntilItCloses) {
    ColorPicker picker{QStringLiteral("#336699")};
    QStringList written;
    QObject::connect(&picker, &ColorPicker::valueEdited, [&](const QString& v) { written << v; });
    picker.show();
    picker.togglePopover();
    for (QToolButton* button : picker.popover()->findChildren<QToolButton*>())
        if (button->toolTip() == QStringLiteral("Open Color Panel")) button->click();
    ASSERT_TRUE(picker.colorDialog());
    EXPECT_TRUE(written.isEmpty()) << "taking the current colour writes nothing";
    picker.colorDialog()->setCurrentColor(QColor(128, 0, 0));
    picker.colorDialog()->setCurrentColor(QColor(0, 0, 255));
    EXPECT_EQ(written, (QStringList{QStringLiteral("#800000"), QStringLiteral("#0000FF")}));
    picker.colorDialog()->reject();
    picker.colorDialog()->setCurrentColor(QColor(0, 255, 0));
    EXPECT_EQ(written.size(), 2);
}

TEST(DragOutThumbWidget, ABurstOfChangesRendersOnceAfterTheLastAndThePNGOnlyForADrag) {
    int thumbnails = 0, pngs = 0;
    QSize asked;
    CanvasState canvas;
    canvas.items = {makeShape(ShapeKind::rect, {0, 0, 40, 20})};
    DragOutThumb thumb(
        [&] {
            ++pngs;
            return canvas;
        },
        [&](QSize pixels) {
            ++thumbnails;
            asked = pixels;
            return QImage(pixels, QImage::Format_RGB32);
        });
    for (quint64 token = 1; token <= 5; ++token) {
        thumb.setContentToken(token);
        QTest::qWait(30);
    }
    EXPECT_EQ(thumbnails, 0);
    QTRY_COMPARE(thumbnails, 1);
    EXPECT_EQ(asked, (thumb.size() - QSize(4, 4)) * thumb.devicePixelRatioF())
        << "the thumbnail is rendered at its own size";
    EXPECT_EQ(pngs, 0) << "no full render before a drag";
    thumb.setContentToken(6);
    QSignalSpy ready(&thumb, &DragOutThumb::pngReady);
    thumb.preparePNG();
    thumb.preparePNG();
    ASSERT_TRUE(ready.wait(5000)) << "a drag right after a change renders at once";
    EXPECT_EQ(QImage::fromData(*thumb.cachedPNG(), "PNG").size(), QSize(88, 68));
    thumb.preparePNG();
    EXPECT_EQ(ready.count(), 2) << "the bytes are there at once for the same content";
    EXPECT_EQ(pngs, 1) << "once per content";
}

TEST(ExportCommand, AFailedWriteIsReported) {
    QTemporaryDir dir;
    EXPECT_FALSE(writeExport(dir.filePath(QStringLiteral("missing/x.png")), "png").isEmpty());
    const QString path = dir.filePath(QStringLiteral("out.png"));
    EXPECT_TRUE(writeExport(path, "first").isEmpty());
    EXPECT_EQ(test::readAll(path), QByteArray("first"));
}
