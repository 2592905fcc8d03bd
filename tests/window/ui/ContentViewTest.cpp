#include "window/ui/ContentView.h"

#include "app/ui/AppFixture.h"
#include "canvas/CanvasController.h"
#include "canvas/ui/CanvasPane.h"
#include "platform/CommandBus.h"
#include "shapes/ui/CropEditorDialog.h"
#include "support/TestFiles.h"
#include "window/ui/IntroSheet.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWheelEvent>

using namespace pintora;

namespace {
class ContentViewTest : public test::AppFixture {
protected:
    // A shown window in front whose document holds the given state.
    DocumentWindow* openWith(const CanvasState& state) {
        const QString path = dir.filePath(QStringLiteral("doc%1.pintora").arg(++files));
        PintoraDocument probe{QString()};
        probe.setState(state);
        EXPECT_EQ(probe.writeToFile(path), QString());
        DocumentWindow* window = app.documents().openFile(path);
        activate(window);
        return window;
    }
    static CanvasState withBoxes(int count, const char* tab = nullptr) {
        CanvasState state = CanvasState::makeNew(QString());
        for (int i = 0; i < count; ++i)
            state.items.append(makeShape(ShapeKind::rect, QRectF(10 * i, 20, 30, 40)));
        if (tab) state.lastActiveTabRaw = QString::fromLatin1(tab);
        return state;
    }
    static void post(const QString& command, const QVariantMap& info = {}) {
        CommandBus::shared().post(command, info);
    }

    int files = 0;
};
} // namespace

TEST_F(ContentViewTest, TheRememberedTabWinsOverTheSettingAndUnknownNamesChooseNothing) {
    struct Case {
        const char* remembered;
        QString setting;
        AppTab expected;
    };
    const Case cases[] = {
        {nullptr, "annotate", AppTab::annotate},   {"capture", "annotate", AppTab::capture},
        {"annotate", "capture", AppTab::annotate}, {"Annotate", "annotate", AppTab::annotate},
        {nullptr, "sideways", AppTab::capture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.remembered ? c.remembered : "none") + " / " +
                     c.setting.toStdString());
        defaults.setDefaultTab(c.setting);
        DocumentWindow* window = openWith(withBoxes(0, c.remembered));
        EXPECT_EQ(window->contentView()->activeTab(), c.expected);
        EXPECT_FALSE(window->isEdited());
        window->close();
    }
}

TEST_F(ContentViewTest, ControlDigitsSwitchTabsAndTheDocumentRemembersWithoutAnUndoStep) {
    DocumentWindow* window = openNew();
    QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(window->contentView()->activeTab(), AppTab::annotate);
    EXPECT_EQ(window->document()->state().lastActiveTabRaw, "annotate");
    QTest::keyClick(window, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(window->document()->state().lastActiveTabRaw, "capture");
    EXPECT_EQ(window->document()->undoStack()->count(), 0);
    EXPECT_FALSE(window->isEdited());
}

TEST_F(ContentViewTest, TheCanvasIsFittedOnceWhenItsTabFirstShowsItems) {
    // Opened on capture: the fit waits for the first switch to annotate, and happens once.
    // (Opened on annotate, the end-to-end scenarios see the picture fitted at once.)
    // Two 30 × 40 boxes fit a view of at least 1000 × 650 at the largest fitting zoom, 4.
    CanvasState state = withBoxes(2, "capture");
    state.zoom = 2.5;
    ContentView* view = openWith(state)->contentView();
    CanvasController& canvas = view->canvasController();
    EXPECT_EQ(canvas.zoom(), 2.5);
    view->setActiveTab(AppTab::annotate);
    QTRY_COMPARE(canvas.zoom(), 4.0);
    canvas.setZoom(1.5);
    view->setActiveTab(AppTab::capture);
    view->setActiveTab(AppTab::annotate);
    // The view has its size, so a fit that were due would come on the next turns of the loop.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(canvas.zoom(), 1.5);
}

TEST_F(ContentViewTest, ADocumentWithoutItemsKeepsItsStoredViewAndGoingAwayWritesIt) {
    CanvasState state = withBoxes(0, "annotate");
    state.zoom = 0.5;
    state.panX = 12;
    DocumentWindow* window = openWith(state);
    CanvasController& canvas = window->contentView()->canvasController();
    QCoreApplication::processEvents();
    EXPECT_EQ(canvas.zoom(), 0.5);
    EXPECT_EQ(canvas.pan(), QPointF(12, 0));
    // The view is no edit of the document.
    canvas.setZoom(3);
    window->contentView()->disappear();
    EXPECT_EQ(window->document()->state().zoom, 3);
    EXPECT_FALSE(window->isEdited());
}

TEST_F(ContentViewTest, WheelsAndToolKeysWorkOnlyOnTheAnnotateTab) {
    ContentView* view = openNew()->contentView();
    CanvasController& canvas = view->canvasController();
    const auto wheel = [&](QWidget* target, QPoint pixels, QPoint angle,
                           Qt::KeyboardModifiers mods = {}) {
        QWheelEvent event(QPointF(10, 10), QPointF(10, 10), pixels, angle, Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    // On the capture tab the wheel and the keys belong to the browser.
    wheel(view->capturePane(), {}, {0, 120});
    QTest::keyClick(view->capturePane(), Qt::Key_R);
    EXPECT_EQ(canvas.pan(), QPointF(0, 0));
    EXPECT_EQ(view->tool(), Tool::select);

    view->setActiveTab(AppTab::annotate);
    QWidget* pane = view->annotatePane();
    wheel(pane, {15, 5}, {30, 10}); // a touchpad's points
    EXPECT_EQ(canvas.pan(), QPointF(15, 5));
    wheel(pane, {}, {0, 120}, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(canvas.zoom(), 1.2);
    EXPECT_EQ(canvas.pan(), QPointF(15, 5));

    // Every tool's own letter, and words typed into texts and notes, are pressed in the
    // end-to-end drawing scenarios; here, keys with command modifiers and keys of no tool.
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        Tool expected;
    };
    const Case cases[] = {
        {Qt::Key_A, Qt::ShiftModifier, Tool::arrow},
        {Qt::Key_R, Qt::ControlModifier, Tool::select},
        {Qt::Key_R, Qt::AltModifier, Tool::select},
        {Qt::Key_Q, Qt::NoModifier, Tool::select},
    };
    for (const Case& c : cases) {
        view->setTool(Tool::select);
        QTest::keyClick(pane, c.key, c.modifiers);
        EXPECT_EQ(view->tool(), c.expected)
            << QKeySequence(c.key | c.modifiers).toString().toStdString();
    }
}

TEST_F(ContentViewTest, ArrowsNudgeAndDeleteRemovesOnlyWithASelectionInTheirOwnWindow) {
    const CanvasState state = withBoxes(2, "annotate");
    DocumentWindow* window = openWith(state);
    DocumentWindow* other = openWith(state);
    ContentView* view = window->contentView();
    QWidget* canvas = view->annotatePane();
    QTest::keyClick(canvas, Qt::Key_Right);
    QTest::keyClick(canvas, Qt::Key_Delete);
    EXPECT_EQ(window->document()->undoStack()->count(), 0) << "nothing selected";

    const QUuid first = state.items[0].id();
    view->setSelection({first});
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QPointF origin;
    };
    const Case cases[] = {
        {Qt::Key_Right, Qt::ShiftModifier, {10, 20}},
        {Qt::Key_Down, Qt::NoModifier, {10, 21}},
        {Qt::Key_Left, Qt::NoModifier, {9, 21}},
        {Qt::Key_Up, Qt::ShiftModifier, {9, 11}},
    };
    for (const Case& c : cases) {
        QTest::keyClick(canvas, c.key, c.modifiers);
        EXPECT_EQ(window->document()->state().items[0].frame().topLeft(), c.origin);
    }
    EXPECT_EQ(other->document()->state(), state) << "the other window saw none of it";

    QTest::keyClick(canvas, Qt::Key_Return);
    EXPECT_FALSE(window->findChild<CanvasPane*>()->isEditingText()) << "a box has no text to edit";
    QTest::keyClick(canvas, Qt::Key_Backspace);
    ASSERT_EQ(window->document()->state().items.size(), 1);
    EXPECT_NE(window->document()->state().items[0].id(), first);
    EXPECT_TRUE(view->selection().isEmpty());

    // Return edits the one selected note, as a double-click does.
    TextItem note{.frame = QRectF(200, 0, 100, 60), .style = TextStyle::warning};
    window->document()->apply(window->document()->undoStack(), QStringLiteral("Add"),
                              [&](CanvasState& s) { s.items.append(note); });
    view->setSelection({note.id});
    QTest::keyClick(canvas, Qt::Key_Return);
    EXPECT_TRUE(window->findChild<CanvasPane*>()->isEditingText());
}

TEST_F(ContentViewTest, MenuCommandsActOnlyInTheWindowInFront) {
    const CanvasState state = withBoxes(3);
    DocumentWindow* back = openWith(state);
    DocumentWindow* front = openWith(state);
    const QUuid first = state.items[0].id();
    back->contentView()->setSelection({first});
    front->contentView()->setSelection({state.items[1].id()});
    for (const QString& command : {command::arrangeBringToFront, command::canvasDuplicate,
                                   command::canvasCopy, command::canvasCut})
        post(command);
    EXPECT_EQ(back->document()->undoStack()->count(), 0);
    EXPECT_EQ(back->contentView()->selection(), Selection({first}));
    EXPECT_EQ(front->document()->undoStack()->count(), 3);

    // What was cut in front is on the clipboard: a paste in the other window adds it.
    activate(back);
    post(command::canvasPaste);
    EXPECT_EQ(back->document()->state().items.size(), 4);
    const qsizetype frontItems = front->document()->state().items.size();
    post(command::canvasSelectAll);
    post(command::canvasDelete);
    EXPECT_TRUE(back->document()->state().items.isEmpty());
    EXPECT_EQ(front->document()->state().items.size(), frontItems);
}

TEST_F(ContentViewTest, ATabSwitchInOneWindowLeavesTheTypingInAnotherAlone) {
    DocumentWindow* capturing = openWith(withBoxes(1, "capture"));
    DocumentWindow* typing = openWith(withBoxes(1));
    auto* field = new QLineEdit(typing->contentView());
    field->show();
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    // A capture that ends in the window behind shows its annotate tab there.
    capturing->contentView()->setActiveTab(AppTab::annotate);
    EXPECT_TRUE(field->hasFocus()) << "the words typed next go where they were going";
}

TEST_F(ContentViewTest, CloseTabActsOnlyOnTheCaptureTabWithAnActiveTab) {
    CanvasState state = CanvasState::makeNew(QStringLiteral("https://a.example/"));
    state.tabs.append(BrowserTab::withURL(QStringLiteral("https://b.example/")));
    state.tabs.append(BrowserTab::withURL(QStringLiteral("https://c.example/")));
    state.activeTabIndex = 1;
    state.lastActiveTabRaw = QStringLiteral("annotate");
    DocumentWindow* window = openWith(state);
    post(command::closeCaptureTab);
    EXPECT_EQ(window->document()->state().tabs.size(), 3);
    window->contentView()->setActiveTab(AppTab::capture);
    post(command::closeCaptureTab);
    ASSERT_EQ(window->document()->state().tabs.size(), 2);
    EXPECT_EQ(window->document()->state().tabs[1].url, "https://c.example/"); // b was closed
}

TEST_F(ContentViewTest, TheWelcomeSheetShowsUntilGetStartedIsPressedOnce) {
    defaults.setHasSeenIntro(false);
    IntroSheet* sheet = openNew()->contentView()->introSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    auto* start = sheet->findChild<QPushButton*>(QStringLiteral("getStarted"));
    ASSERT_NE(start, nullptr);
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(openNew()->contentView()->introSheet(), nullptr);
}

TEST_F(ContentViewTest, ReturnOnAPictureOpensTheCropSheetWhoseDoneCropsItInOneUndoStep) {
    CanvasState state = withBoxes(0, "annotate");
    ImageItem picture{.frame = QRectF(0, 0, 400, 200), .pngData = test::pngBytes(400, 200)};
    state.items.append(picture);
    DocumentWindow* window = openWith(state);
    window->contentView()->setSelection({picture.id});
    QTest::keyClick(window->contentView()->annotatePane(), Qt::Key_Return);
    auto* sheet = window->findChild<CropEditorDialog*>();
    ASSERT_TRUE(sheet && sheet->isVisible());
    // Ctrl+Shift+Left takes 10 pixels off the right of the picture's 400.
    QTest::keyClick(sheet->area(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    for (QPushButton* button : sheet->findChildren<QPushButton*>())
        if (button->text() == QLatin1String("Done")) button->click();
    const auto crop = [&] { return window->document()->state().items[0].image()->cropRect; };
    EXPECT_NEAR(crop().width(), 390 / 400.0, 1e-9);
    window->document()->undoStack()->undo();
    EXPECT_EQ(crop(), fullCrop);
}

TEST_F(ContentViewTest, AWindowCaptureThatFailsSaysWhyAndPlacesNothing) {
    DocumentWindow* window = openWith(withBoxes(0, "annotate"));
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY"); // no X server to ask
    post(command::captureBrowserWindow, {{command::windowIDKey, 42}});
    if (!display.isNull()) qputenv("DISPLAY", display);
    auto* box = window->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Couldn't capture browser window"));
    EXPECT_TRUE(box->informativeText().contains(QStringLiteral("X11 display server")));
    EXPECT_EQ(window->document()->undoStack()->count(), 0);
}
