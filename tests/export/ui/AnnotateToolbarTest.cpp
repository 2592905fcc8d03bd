#include "export/ui/AnnotateToolbar.h"

#include "canvas/CanvasController.h"
#include "export/ui/DragOutThumb.h"
#include "export/ui/ExportCommand.h"
#include "model/PintoraDocument.h"
#include "picker/ui/ColorPicker.h"
#include "platform/UserDefaults.h"
#include "support/TestFiles.h"
#include "support/Workbench.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
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
    EXPECT_EQ(shown(), std::tuple(false, false, false, false));
    toolbar.toolButton(Tool::note)->click();
    EXPECT_EQ(shown(), std::tuple(false, false, true, true));
    EXPECT_TRUE(toolbar.toolButton(Tool::note)->isChecked());
    EXPECT_EQ(toolbar.toolButton(Tool::arrow)->toolTip(), QStringLiteral("Arrow (A)"));
    EXPECT_EQ(toolbar.toolButton(Tool::redact)->toolTip(), QStringLiteral("Redact (X)"));
    toolbar.toolButton(Tool::redact)->click();
    EXPECT_EQ(shown(), std::tuple(false, false, false, false)) << "a redaction has no style";
    toolbar.toolButton(Tool::note)->click();
    toolbar.setTool(Tool::select);
    TextItem card;
    card.style = TextStyle::warning;
    toolbar.setSelection({add(card)});
    EXPECT_EQ(shown(), std::tuple(false, false, true, false));
    toolbar.setSelection({add(makeShape(ShapeKind::rect, {}))});
    EXPECT_EQ(shown(), std::tuple(true, true, false, false));
}

TEST_F(ToolbarWidgetTest, SlidersSetDefaultsAndEditTheSelection) {
    const QUuid box = add(makeShape(ShapeKind::rect, {}));
    toolbar.setSelection({box});
    toolbar.lineWidthSlider()->setValue(4);
    toolbar.lineWidthSlider()->setValue(5);
    EXPECT_EQ(document.undoStack()->count(), 2);
    EXPECT_EQ(document.undoStack()->undoText(), QStringLiteral("Change Width"));
    EXPECT_EQ(findItem(document.state(), box)->shape()->lineWidth, 5);
    EXPECT_EQ(document.state().defaultLineWidth, 5);

    toolbar.zoomSlider()->setValue(250);
    EXPECT_DOUBLE_EQ(controller.zoom(), 2.5);
    controller.setZoom(6);
    EXPECT_EQ(toolbar.zoomSlider()->value(), 400) << "beyond the slider: at its end";
}

TEST_F(ToolbarWidgetTest, APickedColourGoesToTheRightDefault) {
    toolbar.setTool(Tool::text);
    ColorPicker* picker = toolbar.colorPicker();
    picker->togglePopover();
    ASSERT_TRUE(picker->popoverShown());
    QLineEdit* field = picker->popover()->hexField();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("#00ff00"));
    EXPECT_EQ(defaults.defaultTextHex(), QStringLiteral("#000000")) << "not before Return";
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(defaults.defaultTextHex(), QStringLiteral("#00ff00")) << "as typed";
    EXPECT_FALSE(picker->popoverShown());
    EXPECT_EQ(document.undoStack()->count(), 0) << "nothing selected, nothing to undo";

    const QUuid box = add(makeShape(ShapeKind::rect, {}));
    toolbar.setTool(Tool::select);
    toolbar.setSelection({box});
    EXPECT_NE(toolbar.colorPicker(), picker) << "made anew for what it now edits";
    toolbar.colorPicker()->togglePopover();
    auto* swatch = toolbar.colorPicker()->popover()->findChildren<QToolButton*>().last();
    swatch->click();
    EXPECT_EQ(findItem(document.state(), box)->shape()->strokeHex, defaults.defaultStrokeHex());
    EXPECT_EQ(document.undoStack()->undoText(), QStringLiteral("Change Color"));
}

TEST(ColorPickerWidget, PopoverTogglesAndBlankTextChangesNothing) {
    ColorPicker picker(QStringLiteral("#FF0000"));
    QStringList written;
    QObject::connect(&picker, &ColorPicker::valueEdited, [&](const QString& v) { written << v; });
    picker.show();
    picker.togglePopover();
    EXPECT_TRUE(picker.popoverShown());
    picker.togglePopover();
    EXPECT_FALSE(picker.popoverShown());
    picker.togglePopover();
    ASSERT_TRUE(picker.popoverShown());
    QLineEdit* field = picker.popover()->hexField();
    field->setText(QStringLiteral("   "));
    picker.model().setHexInput(QStringLiteral("   "));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(picker.popoverShown());
    field->clear();
    QTest::keyClicks(field, QStringLiteral("zz"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(written, QStringList{QStringLiteral("zz")});
    EXPECT_EQ(picker.value(), QStringLiteral("zz"));
}

TEST(ColorPickerWidget, TheColourDialogWritesUntilItCloses) {
    ColorPicker picker(QStringLiteral("#336699"));
    QStringList written;
    QObject::connect(&picker, &ColorPicker::valueEdited, [&](const QString& v) { written << v; });
    picker.show();
    picker.togglePopover();
    auto buttons = picker.popover()->findChildren<QToolButton*>();
    auto open = std::find_if(buttons.begin(), buttons.end(), [](QToolButton* b) {
        return b->toolTip() == QStringLiteral("Open Color Panel");
    });
    ASSERT_NE(open, buttons.end());
    (*open)->click();
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
    int thumbnails = 0;
    int pngs = 0;
    QSize asked;
    DragOutThumb thumb(
        [&] {
            ++pngs;
            return std::optional<QByteArray>(test::pngBytes(40, 20));
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
    EXPECT_TRUE(thumb.isCacheCurrent());
    EXPECT_EQ(asked, (thumb.size() - QSize(4, 4)) * thumb.devicePixelRatioF())
        << "the thumbnail is rendered at its own size";
    EXPECT_EQ(pngs, 0) << "no full render before a drag";
    thumb.setContentToken(6);
    EXPECT_TRUE(thumb.currentPNG()) << "a drag right after a change renders at once";
    EXPECT_TRUE(thumb.currentPNG());
    EXPECT_EQ(pngs, 1) << "once per content";
}

TEST(DragOutThumbWidget, ADragCarriesPngTiffAndAFile) {
    const QByteArray png = test::pngBytes(30, 10);
    const std::optional<QString> file = DragOutThumb::writeTempPNG(png);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->contains(QStringLiteral("/PintoraExports/Pintora ")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("Pintora \\d{4}-\\d\\d-\\d\\d \\d{6}\\.png$"))
                    .match(*file)
                    .hasMatch());
    EXPECT_EQ(test::readAll(*file), png);
    std::unique_ptr<QMimeData> mime(DragOutThumb::dragData(png, file));
    EXPECT_EQ(mime->data(QStringLiteral("image/png")), png);
    EXPECT_EQ(mime->urls().value(0).toLocalFile(), *file);
    if (mime->hasFormat(QStringLiteral("image/tiff"))) {
        EXPECT_EQ(QImage::fromData(mime->data(QStringLiteral("image/tiff"))).size(), QSize(30, 10));
    }
}

TEST(ExportCommand, AFailedWriteIsReportedAndKeepsTheOldFile) {
    QTemporaryDir dir;
    EXPECT_FALSE(writeExport(dir.filePath(QStringLiteral("missing/x.png")), "png").isEmpty());
    const QString path = dir.filePath(QStringLiteral("out.png"));
    EXPECT_TRUE(writeExport(path, "first").isEmpty());
    EXPECT_EQ(test::readAll(path), QByteArray("first"));
}
