// The real application as a user meets it: the `pintora` program on a desktop (the test's X
// server with a window manager, or a Wayland compositor), driven by real input, checked on
// screenshots of the whole screen. One table for both: a scenario that means something else on
// one of them says so where it differs. Every expectation polls the screen until it holds or its
// time runs out, so a slow machine only makes a run slower.
#include "e2e/Desktop.h"
#include "export/PngRenderer.h"
#include "model/DocumentCodec.h"
#include "model/DocumentFile.h"
#include "model/TextStyle.h"
#include "support/TestFiles.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

using namespace pintora;
using test::near;
using test::xy;

namespace {

constexpr int timeoutMs = 15000;

const QColor pictureBlue(0, 0, 255);
const QColor frameRed(255, 0, 0);
const QColor strokeRed(0xFF, 0x3B, 0x30); // the default colour of new shapes
const QColor pageGreen(0, 0xAA, 0);

bool poll(const std::function<bool()>& holds, int ms = timeoutMs) {
    return test::waitFor(holds, ms);
}

// A program under test, where this build made it or where the run put a copy of it.
QString program(const char* variable, const char* built) {
    return qEnvironmentVariable(variable, QString::fromUtf8(built));
}
// The window's opacity as an X11 window manager is told it (no value: opaque).
quint64 windowOpacity(const QString& id) {
    const QString value = test::output("xprop", {"-id", id, "_NET_WM_WINDOW_OPACITY"});
    return value.contains('=') ? value.section('=', 1).trimmed().toULongLong() : 0xFFFFFFFFu;
}

// Where pixels of one colour are inside `area`: their bounding box and how many there are.
struct Found {
    QRect box;
    int count = 0;
};
Found findColour(const QImage& shot, const QRect& area, QColor colour, int tolerance = 12) {
    Found found;
    const QRect within = area.intersected(shot.rect());
    for (int y = within.top(); y <= within.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = within.left(); x <= within.right(); ++x) {
            if (!near(row[x], colour, tolerance)) continue;
            found.box = found.box.united(QRect(x, y, 1, 1));
            ++found.count;
        }
    }
    return found;
}
int strokePixels(const QImage& shot, const QRect& area) {
    return findColour(shot, area, strokeRed, 30).count;
}

// The share of the pixels of `now` that differ from `before`.
double changedShare(const QImage& now, const QImage& before) {
    if (now.size() != before.size() || now.isNull()) return 1;
    int changed = 0;
    for (int y = 0; y < now.height(); ++y)
        for (int x = 0; x < now.width(); ++x)
            changed += !near(now.pixel(x, y), before.pixel(x, y), 8);
    return double(changed) / (now.width() * now.height());
}

CanvasState documentWith(QList<CanvasItem> items) {
    CanvasState state = CanvasState::makeNew("about:blank");
    state.items = std::move(items);
    state.lastActiveTabRaw = "annotate";
    return state;
}
// A picture larger than the window, with a rectangle on exactly its frame: the fit shows it
// below zoom 1, where pictures are drawn from scaled copies.
CanvasState pictureInFrame() {
    ImageItem picture{.frame = QRectF(100, 100, 1800, 1200),
                      .pngData = test::pngBytes(1800, 1200, pictureBlue)};
    ShapeItem frame = makeShape(ShapeKind::rect, picture.frame);
    frame.strokeHex = "#FF0000";
    frame.lineWidth = 6;
    return documentWith({picture, frame});
}

// The documents that can be read at `path`, a file or a folder searched through.
QList<CanvasState> documentsAt(const QString& path) {
    QList<CanvasState> documents;
    const auto read = [&](const QString& file) {
        if (const auto state = readDocumentFile(file, QString())) documents.append(state.value());
    };
    if (QFileInfo(path).isFile()) read(path);
    for (QDirIterator it(path, {"*.pintora"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        read(it.next());
    return documents;
}
// The strings of every text and note in those documents.
QStringList textsIn(const QString& path) {
    QStringList texts;
    for (const CanvasState& state : documentsAt(path))
        for (const CanvasItem& item : state.items)
            if (const TextItem* text = item.text()) texts.append(text->string);
    texts.sort();
    return texts;
}

// Cells of the canvas area for the drawing scenarios, in client coordinates of a 1280 x 800
// window: four columns, two rows, well below the toolbar.
QRect cell(int index) {
    return QRect(120 + (index % 4) * 280, 260 + (index / 4) * 240, 200, 130);
}

// Rows of the presets sidebar in client coordinates; the sidebar hangs from the window's top,
// so they stay where they are at any window size.
constexpr int presetRowY[] = {111, 140, 171, 201};

// Every preset row ends inside the window `c` with its light grey delete mark, after a whole
// size label: a row cut off at the window's right edge shows a part of its label there instead.
bool presetRowsWhole(const QImage& shot, const QRect& c) {
    return std::ranges::all_of(presetRowY, [&](int rowY) {
        int grey = 0, dark = 0, label = 0;
        for (int y = c.top() + rowY - 8; y <= c.top() + rowY + 8; ++y) {
            for (int x = c.right() - 130; x <= c.right() - 4; ++x) {
                const int g = qGray(shot.pixel(x, y));
                if (x < c.right() - 40) {
                    label += g < 70;
                } else {
                    grey += g >= 90 && g <= 210;
                    dark += g < 70;
                }
            }
        }
        return grey >= 6 && dark == 0 && label >= 20;
    });
}

// The green page's pictures on the canvas `area`, left to right, where they cross the middle
// row of all the green: pictures that sit in one row all do.
QList<QRect> greenPictures(const QImage& shot, const QRect& area) {
    QList<QRect> pictures;
    const int y = findColour(shot, area, pageGreen).box.center().y();
    for (int x = area.left(), start = -1; x <= area.right() + 1; ++x) {
        const bool green = x <= area.right() && near(shot.pixel(x, y), pageGreen, 12);
        if (green && start < 0) start = x;
        if (green || start < 0) continue;
        pictures.append(
            findColour(shot, QRect(start, area.top(), x - start, area.height()), pageGreen).box);
        start = -1;
    }
    return pictures;
}
// Whether the selection outline (the highlight colour: clearly blue) lies on every edge of
// `box`: the outermost outline pixel found within 6 pixels of each edge, across its middle (the
// outline is dashed, so a band of rows or columns is searched), is within 3 pixels of it.
bool outlined(const QImage& shot, const QRect& box) {
    const auto accent = [&shot](QPoint at) {
        const QRgb p = shot.rect().contains(at) ? shot.pixel(at) : 0;
        return qBlue(p) - qRed(p) > 60 && qBlue(p) > qGreen(p) + 10;
    };
    const auto onEdge = [&](QPoint middle, QPoint outward) {
        const QPoint along(outward.y(), outward.x());
        for (int e = 6; e >= -6; --e)
            for (int d = -8; d <= 8; ++d)
                if (accent(middle + outward * e + along * d)) return std::abs(e) <= 3;
        return false;
    };
    const QPoint c = box.center();
    return onEdge({box.left(), c.y()}, {-1, 0}) && onEdge({box.right(), c.y()}, {1, 0}) &&
           onEdge({c.x(), box.top()}, {0, -1}) && onEdge({c.x(), box.bottom()}, {0, 1});
}

// Each scenario is one run of the application in a home of its own, on the desktop of this run.
class AppScenarioTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop_.prepare()) << "no window manager";
        QDir(shotsDir_).removeRecursively();
        QDir().mkpath(shotsDir_);
    }
    void TearDown() override {
        app_.kill();
        app_.waitForFinished(-1);
    }
    static void TearDownTestSuite() { test::Desktop::close(); }

    QString path(const QString& name) const { return home_.filePath(name); }
    // The document `launchWith` opens.
    QString document() const { return path("shots.pintora"); }

    // The application's environment: this home's folders, on this desktop.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home_.path());
        for (const char* dir : {"config", "data", "cache"})
            env.insert("XDG_" + QString(dir).toUpper() + "_HOME", path(dir));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        env.insert("QT_QPA_PLATFORM", desktop_.platform());
        // The compositor's socket stays where it is when the runtime folder is the home's own.
        const QString display = env.value("WAYLAND_DISPLAY");
        if (!display.isEmpty() && !display.startsWith('/'))
            env.insert("WAYLAND_DISPLAY", qEnvironmentVariable("XDG_RUNTIME_DIR") + '/' + display);
        return env;
    }
    // Starts the application with `settings` added to its [General] ones and takes its window,
    // an untitled one without a document to open.
    void launch(const QStringList& arguments = {}, const QByteArray& settings = {},
                bool seenIntro = true, const QString& window = {}) {
        QDir(home_.path()).mkdir("runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(path("config/Pintora"));
        test::writeAll(path("config/Pintora/Pintora.conf"),
                       "[General]\n" + QByteArray(seenIntro ? "hasSeenIntro=true\n" : "") +
                           settings);
        app_.setProcessEnvironment(environment());
        app_.setProcessChannelMode(QProcess::ForwardedChannels);
        app_.start(program("PINTORA_BINARY", PINTORA_BINARY), arguments);
        // The welcome sheet over a new window keeps the keyboard.
        useWindow(!window.isEmpty()     ? window
                  : arguments.isEmpty() ? "Untitled"
                                        : "shots.pintora",
                  {}, seenIntro);
    }
    void launchWith(const CanvasState& state) {
        ASSERT_EQ(writeDocumentFile(document(), state), QString());
        launch({document()});
    }
    // Opens `pictureInFrame` and waits until the picture's pixels lie just inside the red
    // rectangle drawn on its frame, on every side.
    void launchPictureInFrame() {
        launchWith(pictureInFrame());
        expect("the picture lies inside the rectangle on its frame", [&](const QImage& shot) {
            const Found blue = findColour(shot, canvas(), pictureBlue, 4);
            const Found red = findColour(shot, canvas(), frameRed, 40);
            // The stroke (6 at a zoom under 1) lies inside the frame, over the picture's edge.
            const auto within = [](int d) { return d >= 0 && d <= 8; };
            const QRect outer = red.box, inner = blue.box;
            return blue.count >= 10000 && red.count >= 1000 &&
                   within(inner.left() - outer.left()) && within(outer.right() - inner.right()) &&
                   within(inner.top() - outer.top()) && within(outer.bottom() - inner.bottom());
        });
        saveShot("picture-in-frame");
    }
    // Starts the application on its capture tab at a page served here, green from edge to edge
    // and `height` tall, and waits (a minute for the first load) until the page fills the browser.
    // `headers` go with every answer (a login cookie, say).
    void launchOnGreenPage(const QString& address, const QByteArray& title, int height,
                           const QList<QByteArray>& headers = {}, const QByteArray& settings = {}) {
        server_.route(address.section('?', 0, 0).toLatin1(),
                      {.body = "<!doctype html><title>" + title +
                               "</title><body style='margin:0;background:#00aa00'><div "
                               "style='height:" +
                               QByteArray::number(height) + "px'>",
                       .headers = headers});
        launch({}, "defaultURL=\"" + server_.url(address).toEncoded() +
                       "\"\ncaptureFullPage=true\ndefaultTab=capture\n" + settings);
        expect("the page is shown", 60000, [&](const QImage& shot) {
            return findColour(shot, frame_, pageGreen).count > 100000;
        });
    }

    // Starts the other program of the drag-and-drop scenarios and gives its window: where it
    // asks to be on X11, where the compositor puts it on Wayland.
    QString startPeer(QProcess& peer, const QStringList& arguments) {
        peer.setProcessEnvironment(environment());
        peer.start(program("PINTORA_DND_PEER", PINTORA_DND_PEER), arguments);
        QStringList shown;
        poll([&] { return !(shown = desktop_.windows(peer.processId(), "")).isEmpty(); }, 10000);
        QTest::qWait(300);
        return shown.value(0);
    }
    // The first shown window of the application whose title matches `name`, other than
    // `except`.
    QString waitForWindow(const QString& name, const QString& except = {}) {
        QStringList ids;
        poll(
            [&] {
                ids = desktop_.windows(app_.processId(), name);
                ids.removeAll(except);
                return !ids.isEmpty() || app_.state() == QProcess::NotRunning;
            },
            60000);
        EXPECT_FALSE(ids.isEmpty()) << "no window " << name.toStdString();
        return ids.value(0);
    }
    // Takes the window, in front with the keyboard if `activate`, once the window manager has
    // put it where it stays.
    void useWindow(const QString& name, const QString& except = {}, bool activate = true) {
        window_ = waitForWindow(name, except);
        if (activate) desktop_.activate(window_);
        settle();
    }
    void settle() {
        frame_ = {};
        poll(
            [&] {
                const QRect last = std::exchange(frame_, desktop_.geometry(window_));
                return frame_ == last && last.width() > 0;
            },
            5000);
    }
    // The canvas only: the drag-out thumbnail in the toolbar shows what the canvas does.
    QRect canvas() const { return frame_.adjusted(0, 140, 0, 0); }
    // A point or an area given relative to the window's client area, on the screen.
    QPoint at(QPoint p) const { return frame_.topLeft() + p; }
    QImage patch(const QImage& shot, QRect area) const {
        return shot.copy(area.translated(frame_.topLeft()));
    }

    // Each sequence is one press, as X names keys ("ctrl+z").
    void keys(const QStringList& sequences) {
        for (const QString& sequence : sequences)
            desktop_.key(sequence);
    }
    void type(const QString& text) { desktop_.type(text); }
    // A left click, or a left-button drag in small moves, at points of the client area.
    void click(QPoint p) {
        desktop_.move(at(p));
        desktop_.button(true);
        desktop_.button(false);
    }
    void drag(QPoint from, QPoint to) {
        const QPoint a = at(from), b = at(to);
        desktop_.move(a);
        desktop_.button(true);
        for (int i = 1; i <= 8; ++i) {
            desktop_.move(a + (b - a) * i / 8);
            QTest::qWait(15);
        }
        desktop_.button(false);
    }
    // A drag from `from` to `to`, points of the screen, as a hand makes it: it presses, nudges
    // until the drag has surely begun, travels in steps and lets go.
    void handDrag(QPoint from, QPoint to) {
        const auto move = [this](QPoint p, int pause) {
            desktop_.move(p);
            QTest::qWait(pause);
        };
        move(from, 300);
        desktop_.button(true);
        move(from + QPoint(6, 6), 300);
        move(from + QPoint(12, 12), 800);
        for (int i = 1; i <= 10; ++i)
            move(from + (to - from) * i / 10, 100);
        move(to + QPoint(1, 1), 600);
        desktop_.button(false);
    }
    QImage screenshot() const {
        return desktop_.screenshot().convertToFormat(QImage::Format_RGB32);
    }
    // Another program reads the clipboard as a chat or an image editor would.
    QImage clipboardPicture() const {
        QImage picture;
        EXPECT_TRUE(poll([&] {
            picture = QImage::fromData(desktop_.clipboard("image/png"));
            return !picture.isNull();
        })) << "no picture on the clipboard";
        return picture.convertToFormat(QImage::Format_ARGB32);
    }
    // Draws over a cell with the tool of that key, then types `text` into what it made.
    void drawIn(int index, const QString& toolKey, const QString& text = {}) {
        keys({toolKey});
        drag(cell(index).topLeft(), cell(index).bottomRight());
        if (text.isEmpty()) return;
        QTest::qWait(300);
        type(text);
    }

    // Answers the file dialog titled `title` (Export, Save As) with the file `name`.
    void giveFileName(const QString& title, const QString& name) {
        ASSERT_FALSE(waitForWindow('^' + title + "( — |$)").isEmpty())
            << "no " << title.toStdString();
        QTest::qWait(500);
        keys({"ctrl+a"});
        type(name);
        keys({"Return"});
    }

    // Polls screenshots until `holds` is true of one; the last one is kept for the failure.
    using Check = std::function<bool(const QImage&)>;
    void expect(const std::string& what, const Check& holds) { expect(what, timeoutMs, holds); }
    void expect(const std::string& what, int ms, const Check& holds) {
        QImage shot;
        if (poll([&] { return holds(shot = screenshot()); }, ms)) return;
        const QString file = shotsDir_ + QString("/failed-%1.png").arg(++failures_);
        shot.save(file);
        ADD_FAILURE() << what << " (screen: " << file.toStdString() << ")";
    }
    // A click on `control` opens a popup over `area`; a second click on it closes the popup.
    void expectSecondClickCloses(const std::string& name, QPoint control, QRect area) {
        QTest::qWait(300); // what is under the popup has come to rest
        const QImage before = patch(screenshot(), area);
        click(control);
        expect("the first click opens the " + name,
               [&](const QImage& shot) { return changedShare(patch(shot, area), before) > 0.3; });
        QTest::qWait(300);
        click(control);
        QTest::qWait(800); // a popup reopened by the release would show again at once
        expect("the second click closes the " + name,
               [&](const QImage& shot) { return changedShare(patch(shot, area), before) < 0.01; });
    }
    void saveShot(const QString& name) const { screenshot().save(shotsDir_ + '/' + name + ".png"); }
    void expectExit() {
        // It may have ended already, while the last key was waited on.
        if (app_.state() != QProcess::NotRunning) app_.waitForFinished(30000);
        EXPECT_TRUE(app_.state() == QProcess::NotRunning &&
                    app_.exitStatus() == QProcess::NormalExit && app_.exitCode() == 0)
            << "the application did not quit cleanly: " << app_.exitCode();
    }

    test::Desktop& desktop_ = test::Desktop::current();
    const QString shotsDir_ =
        qEnvironmentVariable("PINTORA_E2E_SHOTS", QDir::currentPath() + "/e2e-shots") + '/' +
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QTemporaryDir home_;
    test::TestWebServer server_;
    QProcess app_;
    QString window_;
    QRect frame_;
    int failures_ = 0;
};

TEST_F(AppScenarioTest, TheWelcomeSheetIsCentredOnItsWindowAndCtrlQQuitsFromIt) {
    launch({}, {}, false);
    const QString sheet = waitForWindow("Welcome to Pintora");
    QPoint off;
    // Title bars differ in height between a window and a dialog.
    const bool centred = poll([&] {
        off = desktop_.geometry(sheet).center() - desktop_.geometry(window_).center();
        return std::abs(off.x()) <= 2 && std::abs(off.y()) <= 40;
    });
    EXPECT_TRUE(centred) << "the sheet is off the window's centre by " << off.x() << ", "
                         << off.y();
    // The sheet has the keyboard already; Ctrl+Q goes to it.
    keys({"ctrl+q"});
    expectExit();
}

TEST_F(AppScenarioTest, ToolsDrawAndUndoWhereDraggedThenPopoversCloseAndPresetRowsStayWhole) {
    launch();
    keys({"ctrl+2"});
    QTest::qWait(300);
    const QImage empty = screenshot();
    // Shapes show in the default colour; a text and a note are told by what they change.
    const auto shapes = [this](int count) {
        return [this, count](const QImage& shot) {
            for (int i = 0; i < 5; ++i) {
                const QRect around = cell(i).adjusted(-4, -4, 4, 4).translated(frame_.topLeft());
                if ((strokePixels(shot, around) >= 200) != (i < count)) return false;
            }
            return true;
        };
    };
    const auto changed = [&](const QImage& shot, int i) {
        return changedShare(patch(shot, cell(i)), patch(empty, cell(i)));
    };
    int index = 0;
    for (const char* tool : {"r", "o", "a", "l", "c"})
        drawIn(index++, tool);
    drawIn(5, "t", "Hello");
    keys({"Escape"});
    drawIn(6, "n", "Card");
    keys({"Escape"});
    expect("every tool's item shows in its own cell", [&](const QImage& shot) {
        return shapes(5)(shot) && changed(shot, 5) > 0.005 && changed(shot, 6) > 0.5;
    });
    // A text or a note is added, then its words are one more step.
    keys({"Escape", "ctrl+z", "ctrl+z"});
    expect("two undos take the note's words and the note away",
           [&](const QImage& shot) { return changed(shot, 6) < 0.01 && changed(shot, 5) > 0.005; });
    keys({"ctrl+z", "ctrl+z"});
    expect("two more take the text away",
           [&](const QImage& shot) { return changed(shot, 5) < 0.01 && shapes(5)(shot); });
    keys({"ctrl+z"});
    expect("undo takes the callout away", shapes(4));
    keys({"ctrl+z", "ctrl+z", "ctrl+z", "ctrl+z"});
    expect("undo takes every shape away", shapes(0));

    // The empty canvas leaves what popovers cover unchanged but for them.
    keys({"r"});
    // The colour swatch of the rectangle tool and the space its popover opens into; the first
    // preset's size and the rows below it that its popover covers.
    expectSecondClickCloses("colour popover", {375, 80}, {255, 100, 240, 140});
    keys({"ctrl+1"});
    const auto whole = [&](const QImage& shot) { return presetRowsWhole(shot, frame_); };
    expect("every row is whole at the default size", whole);
    expectSecondClickCloses("size popover", {1199, presetRowY[0]},
                            {1010, presetRowY[0] + 14, 260, 60});
    // The window manager keeps the window at its minimum size or more.
    desktop_.resize(window_, {400, 300});
    QTest::qWait(300);
    settle();
    EXPECT_LT(frame_.width(), 1280) << "the window did not shrink";
    expect("every row is whole at the minimum size", whole);
    saveShot("minimum-size");
}

TEST_F(AppScenarioTest, TheViewIsSavedAndCopyAsPNGAndExportGiveTheCanvasOrSelectionAsRendered) {
    launchPictureInFrame();
    keys({"ctrl+s"});
    CanvasState fitted, panned;
    EXPECT_TRUE(poll([&] {
        fitted = documentsAt(document()).value(0);
        return fitted.zoom > 0.1 && fitted.zoom < 0.9;
    })) << "the fitted zoom was not saved: "
        << fitted.zoom;
    // Three notches of scrolling pan the canvas.
    desktop_.move(at({640, 500}));
    desktop_.scroll(3);
    QTest::qWait(300);
    keys({"ctrl+s"});
    (void)poll([&] { return (panned = documentsAt(document()).value(0)).panY != fitted.panY; });
    EXPECT_NEAR(std::abs(panned.panY - fitted.panY), 60, 0.5);
    EXPECT_DOUBLE_EQ(panned.zoom, fitted.zoom);

    keys({"ctrl+shift+c"});
    // The copy renders on a worker thread; the clipboard takes it when it is done.
    EXPECT_TRUE(poll([&] {
        return clipboardPicture() ==
               renderImage(pictureInFrame()).convertToFormat(QImage::Format_ARGB32);
    })) << "the clipboard's picture is not the export";
    // A new rectangle is drawn selected: only it is copied, with the export's margin.
    drawIn(0, "r");
    keys({"ctrl+shift+c"});
    QImage rectangle, callout;
    ASSERT_TRUE(poll([&] { return (rectangle = clipboardPicture()).width() < 1000; }))
        << "the whole canvas was copied, not the selected rectangle";
    EXPECT_GT(strokePixels(rectangle, rectangle.rect()), 200);
    EXPECT_EQ(findColour(rectangle, rectangle.rect(), pictureBlue, 4).count, 0)
        << "the picture under the selected rectangle was copied with it";
    // A callout's head, centred on where the drag ended, reaches past its frame: the copy still
    // shows all of it on paper. The drag starts left of the picture's frame (one that starts on
    // an item moves it).
    keys({"c"});
    drag({40, 430}, {180, 560});
    keys({"ctrl+shift+c"});
    ASSERT_TRUE(poll([&] { return (callout = clipboardPicture()) != rectangle; }))
        << "the callout was not copied";
    callout.save(shotsDir_ + "/callout-copy.png");
    EXPECT_LT(callout.width(), 1000);
    EXPECT_GT(strokePixels(callout, callout.rect()), 200);

    keys({"Escape", "ctrl+s"});
    // The copy is the callout as the export draws it, its whole head in the picture.
    CanvasState saved;
    ASSERT_TRUE(poll([&] { return (saved = documentsAt(document()).value(0)).items.size() == 4; }));
    saved.items = {saved.items.last()};
    EXPECT_TRUE(renderImage(saved).convertToFormat(QImage::Format_ARGB32) ==
                callout.convertToFormat(QImage::Format_ARGB32))
        << "the copy is not the callout as exported";
    keys({"ctrl+shift+e"});
    const QString exported = path("exported.png"), rendered = path("rendered.png");
    giveFileName("Export", exported);
    ASSERT_TRUE(poll([&] { return QFileInfo(exported).size() > 0; })) << "nothing was exported";
    ASSERT_EQ(
        QProcess::execute(program("PINTORA_CLI", PINTORA_CLI), {"export", document(), rendered}),
        0);
    const QImage fromWindow(exported);
    EXPECT_TRUE(fromWindow.convertToFormat(QImage::Format_ARGB32) ==
                QImage(rendered).convertToFormat(QImage::Format_ARGB32))
        << "the export differs from the saved document's rendering";
    // The rectangle drawn in the window is part of it.
    EXPECT_GT(strokePixels(fromWindow, fromWindow.rect()), 1000);
}

// Dragged out of its thumbnail, the canvas drops into another program: on X11 one behind the
// window, which fades and lets the drop through while the drag lasts; on Wayland, where no window
// can let input through, one beside it, as an ordinary drag (the press brings the window to the
// front).
TEST_F(AppScenarioTest, PicturesAreDraggedInFromAnotherProgramAndTheCanvasOutIntoIt) {
    launchPictureInFrame();
    // A picture file dragged out of another program lands where it is dropped.
    const QString file = path("dropped.png");
    test::writeAll(file, test::pngBytes(240, 160, pageGreen));
    QProcess source;
    const QString from = startPeer(source, QStringList{"source", file} + xy(at({900, 450})));
    ASSERT_FALSE(from.isEmpty()) << "the other program's window did not show";
    handDrag(desktop_.geometry(from).center(), at({200, 600}));
    expect("the dropped picture is where it was dropped", [&](const QImage& shot) {
        return findColour(shot, QRect(at({50, 450}), QSize(400, 300)), pageGreen).count > 3000;
    });
    source.terminate();
    source.waitForFinished(10000);

    QProcess target;
    const QString into = startPeer(target, QStringList{"target"} + xy(at({500, 400})));
    ASSERT_FALSE(into.isEmpty()) << "the drop target did not show";
    if (desktop_.wayland())
        desktop_.place(into, frame_.topLeft() + QPoint(-250, 300));
    else
        desktop_.activate(window_);
    QTest::qWait(500);
    saveShot("peer");
    // The drag-out thumbnail at the right of the annotate toolbar; a second drag starts at once
    // after the drop, while the window still fades back.
    const QPoint thumb = at({frame_.width() - 127, 79});
    handDrag(thumb, desktop_.geometry(into).center());
    handDrag(thumb, at({200, 600}));
    EXPECT_TRUE(poll([&] { return target.state() == QProcess::NotRunning; }, 30000))
        << "the other program got no drop";
    const QString out = QString::fromUtf8(target.readAll());
    // The drop carries the picture itself and a file holding the same bytes.
    EXPECT_TRUE(out.contains(QRegularExpression("png [1-9]")) &&
                out.contains(QRegularExpression("file .+ same")))
        << out.toStdString();
    if (!desktop_.wayland()) {
        EXPECT_TRUE(poll([&] { return windowOpacity(window_) == 0xFFFFFFFFu; }, 5000))
            << "the window stays see-through: " << windowOpacity(window_);
    }
    // The file is the user's alone, in the session's runtime folder, and goes at quit.
    const QString dropped =
        QUrl(QRegularExpression("file (.+) same").match(out).captured(1).trimmed()).toLocalFile();
    EXPECT_TRUE(dropped.startsWith(path("runtime") + "/PintoraExports-")) << dropped.toStdString();
    EXPECT_EQ(QFileInfo(QFileInfo(dropped).path()).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther),
              0);
    desktop_.activate(window_);
    keys({"ctrl+q"});
    expectExit();
    EXPECT_FALSE(QFileInfo::exists(dropped));
}

// The session ends (SIGTERM, as at logout) with a text still being typed.
TEST_F(AppScenarioTest, WordsStillInTheEditorAreSavedAndKeptWhenTheSessionEnds) {
    launchWith(documentWith({}));
    drawIn(0, "n", "Saved words");
    keys({"ctrl+s"});
    EXPECT_TRUE(poll([&] { return textsIn(document()) == QStringList{"Saved words"}; }))
        << "the save left out what the editor held";
    drawIn(1, "n", "Important note");
    keys({"Escape"});
    drawIn(2, "t", "Typed to the end");
    app_.terminate();
    expectExit();
    EXPECT_EQ(textsIn(document()),
              QStringList({"Important note", "Saved words", "Typed to the end"}));
}

TEST_F(AppScenarioTest, AKilledProgramLosesNothingAndTheFileChangesOnlyWhenSaved) {
    launchWith(documentWith({}));
    const QByteArray saved = test::readAll(document());
    keys({"ctrl+2"});
    drawIn(0, "r");
    keys({"ctrl+n"});
    const QString titled = window_;
    useWindow("Untitled", titled);
    keys({"ctrl+2"});
    drawIn(1, "n", "Typed before the crash"); // its editor still open
    const QString drafts = path("data");
    EXPECT_TRUE(poll(
        [&] {
            return documentsAt(drafts).size() == 2 &&
                   textsIn(drafts) == QStringList{"Typed before the crash"};
        },
        20000))
        << "the work was not in drafts within seconds";
    ::kill(pid_t(app_.processId()), SIGKILL);
    app_.waitForFinished(10000);
    EXPECT_EQ(test::readAll(document()), saved) << "only Save writes the user's file";

    // Both come back: the untitled one as it was, the titled one in its file's window.
    launch();
    const auto named = [&](const QString& start) {
        return desktop_.windows(app_.processId(), '^' + start).value(0);
    };
    QString untitled, recovered;
    ASSERT_TRUE(poll([&] {
        return !(untitled = named("Untitled")).isEmpty() &&
               !(recovered = named("shots.pintora")).isEmpty();
    }));
    QTest::qWait(500); // both shown, in whichever order
    desktop_.activate(untitled);
    settle();
    expect("the note is back", [&](const QImage& shot) {
        return findColour(shot, canvas(), QColor(0xfd, 0xec, 0xec), 6).count > 2000;
    });
    window_ = recovered;
    desktop_.activate(recovered);
    settle();
    keys({"ctrl+s"});
    EXPECT_TRUE(poll([&] { return documentsAt(document()).value(0).items.size() == 1; }))
        << "Save writes the recovered rectangle to the file";
    keys({"ctrl+q"});
    expectExit();
    EXPECT_EQ(textsIn(drafts), QStringList{"Typed before the crash"});
}

TEST_F(AppScenarioTest, AFileThatCannotBeSavedAtQuitKeepsItsWorkAndTheNextLaunchSaysSo) {
    QDir(home_.path()).mkdir("docs");
    const QString file = path("docs/shots.pintora");
    ASSERT_EQ(writeDocumentFile(file, documentWith({})), QString());
    launch({file});
    keys({"ctrl+2"});
    drawIn(0, "r");
    ASSERT_TRUE(QDir(path("docs")).removeRecursively());
    keys({"ctrl+q"});
    expectExit(); // no dialog for a logout to kill
    launch({}, {}, true, "shots.pintora");
    expect("the rectangle is back in its file's window",
           [&](const QImage& shot) { return strokePixels(shot, canvas()) > 200; });
    EXPECT_FALSE(waitForWindow("^Pintora$").isEmpty()) << "the launch says what happened";
    saveShot("told");
}

TEST_F(AppScenarioTest, WhatIsCopiedInOneWindowIsPastedInTheOtherWhoseOpenEditIsSavedAtClose) {
    launch();
    keys({"ctrl+2"});
    drawIn(0, "r");
    keys({"ctrl+c", "ctrl+n"});
    const QString first = window_;
    useWindow("Untitled", first);
    ASSERT_NE(window_, first);
    keys({"ctrl+2"});
    expect("the new window's canvas is empty",
           [&](const QImage& shot) { return strokePixels(shot, canvas()) == 0; });
    // The items travel between processes under the program's own type: another program reads
    // the rectangle, and what it puts back on the clipboard is pasted.
    const QByteArray items = desktop_.clipboard("application/x-pintora-items");
    const auto offered = decodeItems(items);
    ASSERT_TRUE(offered.ok() && offered.value().size() == 1 && offered.value()[0].shape() &&
                offered.value()[0].shape()->kind == ShapeKind::rect)
        << "the rectangle is not offered under its own type";
    test::writeAll(path("items.json"), items);
    desktop_.copy("application/x-pintora-items", path("items.json"));
    QTest::qWait(500);
    keys({"ctrl+v"});
    expect("the rectangle is pasted into the window in front",
           [&](const QImage& shot) { return strokePixels(shot, canvas()) > 200; });
    // A picture another program copied is pasted too.
    test::writeAll(path("copied.png"), test::pngBytes(300, 200, pageGreen));
    desktop_.copy("image/png", path("copied.png"));
    QTest::qWait(500);
    keys({"ctrl+v"});
    expect("the other program's picture is pasted",
           [&](const QImage& shot) { return findColour(shot, canvas(), pageGreen).count > 10000; });
    drawIn(6, "t", "Nothing typed is lost");
    // Ctrl+W with the words still in the editor asks whether to save them; Save names a file.
    keys({"ctrl+w"});
    ASSERT_FALSE(waitForWindow("^Pintora$").isEmpty()) << "no question before the window closes";
    QTest::qWait(300);
    keys({"Return"});
    const QString saved = path("typed.pintora");
    giveFileName("Save As", saved);
    EXPECT_TRUE(poll([&] { return textsIn(saved) == QStringList{"Nothing typed is lost"}; }))
        << "the words in the editor were not saved";
    desktop_.activate(first);
    keys({"ctrl+q"});
    expectExit();
}

TEST_F(AppScenarioTest, FourFullPagePicturesOfAnEncodedAddressSitInOneRowInTheirOutlines) {
    const QString address = "/caf%C3%A9?q=a%20b&p=%2F+x";
    // Logged in by the page the built-in browser shows.
    launchOnGreenPage(address, "Q&amp;A", 1500, {"Set-Cookie: login=yes; Path=/"});
    // Tablet and Mobile are off at first: their check boxes turn them on.
    click({1020, presetRowY[2]});
    click({1020, presetRowY[3]});
    QTest::qWait(300);
    keys({"ctrl+k"});
    expect("four pictures in one row, each inside its selection outline", 90000,
           [&](const QImage& shot) {
               const QList<QRect> pictures = greenPictures(shot, canvas());
               return pictures.size() == 4 && std::ranges::all_of(pictures, [&](const QRect& p) {
                          return std::abs(p.center().y() - pictures[0].center().y()) <= 2 &&
                                 p.height() >= 100 && outlined(shot, p);
                      });
           });
    saveShot("captured");
    // Each size was loaded logged in, whatever the engine.
    const auto loggedIn = std::ranges::count_if(server_.requests(), [](const auto& request) {
        return request.path.startsWith("/caf") && request.cookie.contains("login=yes");
    });
    EXPECT_GE(loggedIn, 4) << "the capture did not carry the built-in browser's login";
    // The draft written at quit keeps the address as it was encoded, and the decoded title.
    keys({"ctrl+q"});
    expectExit();
    const QList<CanvasState> drafts = documentsAt(path("data"));
    ASSERT_TRUE(drafts.size() == 1 && drafts[0].tabs.size() == 1) << "no draft with one tab";
    EXPECT_EQ(drafts[0].tabs[0].url, server_.url(address).toString(QUrl::FullyEncoded));
    EXPECT_EQ(drafts[0].tabs[0].title, "Q&A");
}

// With the built-in engine, whose views load and paint each size in windows of their own that
// must never show: off screen on X11, never put on the screen on Wayland.
TEST_F(AppScenarioTest, AWholeTaskFromTheKeyboardAlone) {
    launchOnGreenPage("/keys", "Keys", 900, {}, "captureEngine=builtin\n");
    keys({"ctrl+k"});
    const QRect screen = desktop_.screenshot().rect();
    QStringList shown;
    expect("the two captures on the canvas", 90000, [&](const QImage& shot) {
        for (const QString& id : desktop_.windows(app_.processId(), ""))
            if (id != window_ && desktop_.geometry(id).intersects(screen)) shown.append(id);
        return greenPictures(shot, canvas()).size() == 2;
    });
    EXPECT_TRUE(shown.isEmpty()) << "windows other than the document's showed while capturing";
    // Tab goes through the toolbar into the canvas, whose ring shows it has the keyboard.
    const auto ringed = [&](const QImage& shot) {
        int accent = 0;
        for (int y = canvas().center().y() - 100; y < canvas().center().y() + 100; ++y) {
            const QRgb p = shot.pixel(frame_.left() + 1, y);
            accent += qBlue(p) - qRed(p) > 60 ? 1 : 0;
        }
        return accent > 180;
    };
    bool reached = false;
    for (int i = 0; i < 25 && !reached; ++i) {
        keys({"Tab"});
        QTest::qWait(150);
        reached = ringed(screenshot());
    }
    ASSERT_TRUE(reached) << "Tab never reached the canvas";
    // One selected picture has handles on its outline: its dashes are looked for between them.
    const auto dashedTop = [](const QImage& shot, const QRect& box) {
        int accent = 0;
        for (int x = box.left() + 15; x < box.center().x() - 15; ++x)
            for (int y = box.top() - 2; y <= box.top() + 2; ++y) {
                const QRgb p = shot.pixel(x, y);
                accent += qBlue(p) - qRed(p) > 60 && qBlue(p) > qGreen(p) + 10 ? 1 : 0;
            }
        return accent > (box.width() / 2 - 30) / 5;
    };
    keys({"Escape", "Tab"});
    expect("Escape and Tab select the lowest picture only", [&](const QImage& shot) {
        const QList<QRect> pictures = greenPictures(shot, canvas());
        return pictures.size() == 2 && dashedTop(shot, pictures[0]) != dashedTop(shot, pictures[1]);
    });
    keys({"r", "Return"});
    Found placed;
    expect("Return places a rectangle", [&](const QImage& shot) {
        return (placed = findColour(shot, canvas(), strokeRed)).count > 200;
    });
    keys({"shift+Right", "shift+Right", "shift+Right"});
    expect("Shift and the arrows move it right", [&](const QImage& shot) {
        const Found moved = findColour(shot, canvas(), strokeRed);
        return moved.count > 200 && moved.box.left() > placed.box.left() + 3 &&
               moved.box.top() == placed.box.top();
    });
    keys({"n", "Return"});
    QTest::qWait(300);
    type("Card");
    keys({"Escape", "ctrl+shift+e"});
    const QString exported = path("keys.png");
    giveFileName("Export", exported);
    ASSERT_TRUE(poll([&] { return QImage(exported).width() > 0; })) << "nothing was exported";
    const QImage png(exported);
    const QColor card(QString::fromLatin1(lookOf(TextStyle::critical).backgroundHex));
    EXPECT_GT(findColour(png, png.rect(), pageGreen).count, 100000) << "no captures";
    EXPECT_GT(strokePixels(png, png.rect()), 200) << "no rectangle";
    EXPECT_GT(findColour(png, png.rect(), card, 4).count, 1000) << "no note";
    keys({"ctrl+q"});
    expectExit();
    EXPECT_TRUE(textsIn(path("data")).contains("Card")) << "the note's words were not kept";
}

TEST_F(AppScenarioTest, APageCutAtTheHeightLimitSaysSoAboveTheCanvasOnceItsPictureIsShown) {
    launchOnGreenPage("/endless", "Endless", 300000);
    // Laptop off: Widescreen alone, 40,000 points of it.
    click({1020, presetRowY[1]});
    QTest::qWait(300);
    keys({"ctrl+k"});
    expect("the picture on the canvas under the amber notice of the cut", 120000,
           [&](const QImage& shot) {
               const Found band = findColour(shot, frame_, QColor(0xff, 0xf1, 0xc2), 3);
               return greenPictures(shot, canvas()).size() == 1 && band.count > 20000 &&
                      band.box.width() > frame_.width() - 10;
           });
    saveShot("cut");
}

TEST_F(AppScenarioTest, ASecondLaunchHandsItsDocumentToTheRunningProgramAndEnds) {
    ASSERT_EQ(writeDocumentFile(document(),
                                documentWith({makeShape(ShapeKind::rect, {200, 200, 400, 300})})),
              QString());
    launch();
    const QString untitled = window_;
    QProcess later;
    later.setProcessEnvironment(environment());
    later.start(program("PINTORA_BINARY", PINTORA_BINARY), {document()});
    EXPECT_TRUE(later.waitForFinished(30000) && later.exitCode() == 0)
        << "the second launch did not hand its document over and end";
    useWindow("^shots.pintora", untitled);
    expect("the document's rectangle is in its own window",
           [&](const QImage& shot) { return strokePixels(shot, canvas()) > 200; });
}

// On Wayland a window capture goes through the desktop's portal, whose own screen lets the user
// pick a window or an area; X11 lists the browser windows to capture instead.
TEST_F(AppScenarioTest, OnWaylandAWindowIsCapturedThroughTheDesktopPortal) {
    if (!desktop_.wayland()) GTEST_SKIP() << "X11 lists the windows to capture";
    launchOnGreenPage("/portal", "Portal", 900);
    // The window-capture menu is three Tabs after the address field.
    keys({"F6", "Tab", "Tab", "Tab", "Return"});
    QTest::qWait(1000);
    saveShot("window-menu");
    keys({"Down", "Return"});
    // What the user picks on the portal's screen (here 640 x 400) lands on the canvas.
    const auto captured = [&] {
        for (const CanvasState& draft : documentsAt(path("data")))
            for (const CanvasItem& item : draft.items)
                if (const ImageItem* picture = item.image();
                    picture && QImage::fromData(picture->pngData).size() == QSize(640, 400))
                    return true;
        return false;
    };
    EXPECT_TRUE(poll(captured, 30000)) << "the area picked on the portal's screen is not placed";
    saveShot("window-captured");
}

} // namespace
