// The real application as a user meets it: the `pintora` program under the test's X server
// with a window manager, driven by real input through XTEST (xdotool), checked on screenshots
// of the whole screen. Each scenario is a list of steps; every expectation polls the screen until
// it holds or its time runs out, so a slow machine only makes a run slower.
#include "export/PngRenderer.h"
#include "model/DocumentFile.h"
#include "support/TestFiles.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace pintora;
using test::near;

namespace {

constexpr int expectTimeoutMs = 15000;

QByteArray output(const QString& program, const QStringList& arguments, int timeoutMs = 30000) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        return {};
    }
    return process.readAllStandardOutput();
}
QString run(const QString& program, const QStringList& arguments) {
    return QString::fromUtf8(output(program, arguments)).trimmed();
}
void xdotool(const QStringList& arguments) {
    run("xdotool", arguments);
}
QStringList xy(QPoint p) {
    return {QString::number(p.x()), QString::number(p.y())};
}

// A window's client area on the screen (xwininfo, unlike xdotool, gives its true position
// inside the window manager's frame).
QRect windowGeometry(const QString& id) {
    QMap<QString, int> values;
    for (const QString& line : run("xwininfo", {"-id", id}).split('\n')) {
        const auto parts = line.split(':');
        if (parts.size() == 2) values[parts[0].trimmed()] = parts[1].trimmed().toInt();
    }
    return QRect(values.value("Absolute upper-left X"), values.value("Absolute upper-left Y"),
                 values.value("Width"), values.value("Height"));
}

QImage screenshot() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
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

// How many pixels outside `inside` are not white.
int inkOutside(const QImage& image, const QRect& inside) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += !inside.contains(x, y) && image.pixel(x, y) != qRgb(255, 255, 255);
    return ink;
}

CanvasState documentWith(QList<CanvasItem> items) {
    CanvasState state = CanvasState::makeNew("about:blank");
    state.items = std::move(items);
    state.lastActiveTabRaw = "annotate";
    return state;
}

// The documents at `path`, a file or a folder searched through.
QStringList documentsAt(const QString& path) {
    QStringList documents;
    if (QFileInfo(path).isFile()) documents.append(path);
    QDirIterator files(path, {"*.pintora"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        documents.append(files.next());
    return documents;
}

// One run of the application in a home of its own, and what the steps of a scenario use.
class Session {
public:
    explicit Session(const QString& shotsDir) : shotsDir(shotsDir) {}
    ~Session() {
        if (app_) {
            app_->kill();
            app_->waitForFinished(-1);
        }
    }

    QString path(const QString& name) const { return home_.filePath(name); }
    // The document `launchWith` opens.
    QString document() const { return path("shots.pintora"); }
    // A web server on 127.0.0.1 for pages the application loads, there while the session is.
    test::TestWebServer& server() {
        if (!server_) server_ = std::make_unique<test::TestWebServer>();
        return *server_;
    }

    void launch(const QStringList& arguments) {
        QDir().mkpath(path("runtime"));
        QFile::setPermissions(path("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(path("config/Pintora"));
        test::writeAll(path("config/Pintora/Pintora.conf"),
                       "[General]\n" + QByteArray(seenIntro ? "hasSeenIntro=true\n" : "") +
                           settings);
        app_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home_.path());
        for (const char* dir : {"config", "data", "cache"})
            env.insert("XDG_" + QString(dir).toUpper() + "_HOME", path(dir));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        env.insert("QT_QPA_PLATFORM", "xcb");
        app_->setProcessEnvironment(env);
        app_->setProcessChannelMode(QProcess::ForwardedChannels);
        app_->start(PINTORA_BINARY, arguments);
        ASSERT_TRUE(app_->waitForStarted(-1));
    }
    QProcess* app() const { return app_.get(); }

    // The first visible window of the application whose title matches `name`, other than
    // `except`.
    QString waitForWindow(const QString& name, const QString& except = {}) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000) {
            const QString pid = QString::number(app_->processId());
            const QString ids =
                run("xdotool", {"search", "--onlyvisible", "--pid", pid, "--name", name});
            for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
                if (id != except) return id;
            }
            if (app_->state() != QProcess::Running) break;
            QTest::qWait(100);
        }
        ADD_FAILURE() << "no window " << name.toStdString();
        return {};
    }
    // The document window and its client area, in front with the keyboard unless a modal sheet
    // over it keeps the keyboard.
    void useWindow(const QString& name, const QString& except = {}, bool activate = true) {
        window_ = waitForWindow(name, except);
        if (activate) xdotool({"windowactivate", "--sync", window_});
        settle();
    }
    // Waits until the window manager has put the window where it stays.
    void settle() {
        QRect last;
        for (int i = 0; i < 50; ++i) {
            const QRect now = windowGeometry(window_);
            if (now == last && now.width() > 0) break;
            last = now;
            QTest::qWait(100);
        }
        frame_ = last;
    }
    QString window() const { return window_; }
    QRect frame() const { return frame_; }
    // The canvas only: the drag-out thumbnail in the toolbar shows what the canvas does.
    QRect canvas() const { return frame_.adjusted(0, 140, 0, 0); }
    // A point given relative to the window's client area, on the screen.
    QPoint at(QPoint p) const { return frame_.topLeft() + p; }
    void saveShot(const QString& name) const { screenshot().save(shotsDir + '/' + name + ".png"); }

    bool seenIntro = true;
    QByteArray settings; // lines added to the [General] settings the application starts with
    const QString shotsDir;
    int failures = 0;

private:
    QTemporaryDir home_;
    std::unique_ptr<test::TestWebServer> server_;
    std::unique_ptr<QProcess> app_;
    QString window_;
    QRect frame_;
};

// The steps scenarios are made of.
using Step = std::function<void(Session&)>;

Step steps(std::vector<Step> all) {
    return [all](Session& s) {
        for (const Step& step : all) {
            step(s);
            if (::testing::Test::HasFatalFailure()) return;
        }
    };
}
Step launchWith(const CanvasState& state) {
    return [state](Session& s) {
        ASSERT_EQ(writeDocumentFile(s.document(), state), QString());
        s.launch({s.document()});
        s.useWindow("shots.pintora");
    };
}
Step launchUntitled(bool seenIntro = true) {
    return [seenIntro](Session& s) {
        s.seenIntro = seenIntro;
        s.launch({});
        s.useWindow("Untitled", {}, seenIntro);
    };
}
// Each sequence is one press, as xdotool names keys ("ctrl+z").
template <typename... Sequence> Step keys(Sequence... sequences) {
    const QStringList all{QString(sequences)...};
    return [all](Session&) {
        for (const QString& sequence : all)
            xdotool({"key", "--clearmodifiers", sequence});
    };
}
Step type(const QString& text) {
    return [text](Session&) { xdotool({"type", "--delay", "40", text}); };
}
Step pause(int ms) {
    return [ms](Session&) { QTest::qWait(ms); };
}
// A left-button drag between two points of the window's client area, in small moves.
Step drag(QPoint from, QPoint to) {
    return [from, to](Session& s) {
        const QPoint a = s.at(from), b = s.at(to);
        xdotool(QStringList{"mousemove"} + xy(a));
        xdotool({"mousedown", "1"});
        for (int i = 1; i <= 8; ++i) {
            xdotool(QStringList{"mousemove"} + xy(a + (b - a) * i / 8));
            QTest::qWait(15);
        }
        xdotool({"mouseup", "1"});
    };
}
// Wheel notches over a point of the client area (4 up, 5 down).
Step wheel(QPoint over, int button, int notches) {
    return [over, button, notches](Session& s) {
        xdotool(QStringList{"mousemove"} + xy(s.at(over)));
        for (int i = 0; i < notches; ++i) {
            xdotool({"click", QString::number(button)});
            QTest::qWait(30);
        }
    };
}
// A left click at a point of the window's client area.
Step click(QPoint at) {
    return [at](Session& s) { xdotool(QStringList{"mousemove"} + xy(s.at(at)) << "click" << "1"); };
}
// Asks for a client area of `size`; the window manager keeps it at the window's minimum or more.
Step resizeTo(QSize size) {
    return [size](Session& s) {
        xdotool({"windowsize", s.window(), QString::number(size.width()),
                 QString::number(size.height())});
        QTest::qWait(300);
        s.settle();
    };
}
// Polls screenshots until `holds` is true of one; the last one is kept for the failure.
using ScreenTest = std::function<bool(const Session&, const QImage&)>;
Step expectOnScreen(std::string what, ScreenTest holds, int timeoutMs = expectTimeoutMs) {
    return [what, holds, timeoutMs](Session& s) {
        QElapsedTimer clock;
        clock.start();
        QImage shot;
        do {
            shot = screenshot();
            if (holds(s, shot)) return;
            QTest::qWait(100);
        } while (clock.elapsed() < timeoutMs);
        const QString file = s.shotsDir + QString("/failed-%1.png").arg(++s.failures);
        shot.save(file);
        ADD_FAILURE() << what << " (screen: " << file.toStdString() << ")";
    };
}
Step check(std::function<void(Session&)> body) {
    return body;
}
Step shot(const QString& name) {
    return [name](Session& s) { s.saveShot(name); };
}
Step expectExit() {
    return [](Session& s) {
        ASSERT_TRUE(s.app()->waitForFinished(30000)) << "the application did not quit";
        EXPECT_EQ(s.app()->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(s.app()->exitCode(), 0);
    };
}
// Waits until the document at `file`, once read, satisfies `holds`.
bool savedSoon(const QString& file, const std::function<bool(const CanvasState&)>& holds,
               int timeoutMs = expectTimeoutMs) {
    return QTest::qWaitFor(
        [&] {
            const auto state = readDocumentFile(file, QString());
            return state && holds(state.value());
        },
        timeoutMs);
}
double storedNumber(const QString& file, double CanvasState::*field) {
    const auto state = readDocumentFile(file, QString());
    return state ? state.value().*field : std::nan("");
}

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

const QColor pictureBlue(0, 0, 255);
const QColor frameRed(255, 0, 0);
const QColor strokeRed(0xFF, 0x3B, 0x30); // the default colour of new shapes
const QColor pageGreen(0, 0xAA, 0);

// A picture larger than the window, with a rectangle on exactly its frame: the fit shows it
// below zoom 1, where pictures are drawn from scaled copies.
CanvasState pictureInFrame() {
    ImageItem picture;
    picture.frame = QRectF(100, 100, 1800, 1200);
    picture.pngData = test::pngBytes(1800, 1200, pictureBlue);
    ShapeItem frame = makeShape(ShapeKind::rect, picture.frame);
    frame.strokeHex = "#FF0000";
    frame.lineWidth = 6;
    return documentWith({picture, frame});
}
// Opens `pictureInFrame` and waits until the picture's pixels lie just inside the red
// rectangle drawn on its frame, on every side.
Step launchPictureInFrame() {
    return steps(
        {launchWith(pictureInFrame()),
         expectOnScreen("the picture lies inside the rectangle on its frame",
                        [](const Session& s, const QImage& shot) {
                            const Found blue = findColour(shot, s.canvas(), pictureBlue, 4);
                            const Found red = findColour(shot, s.canvas(), frameRed, 40);
                            if (blue.count < 10000 || red.count < 1000) return false;
                            // The stroke (6 at a zoom under 1) lies inside the frame, over the
                            // picture's edge.
                            const auto within = [](int d) { return d >= 0 && d <= 8; };
                            const QRect outer = red.box, inner = blue.box;
                            return within(inner.left() - outer.left()) &&
                                   within(outer.right() - inner.right()) &&
                                   within(inner.top() - outer.top()) &&
                                   within(outer.bottom() - inner.bottom());
                        }),
         shot("picture-in-frame")});
}

// Cells of the canvas area for the drawing scenarios, in client coordinates of a 1280 x 800
// window: four columns, two rows, well below the toolbar.
QRect cell(int index) {
    return QRect(120 + (index % 4) * 280, 260 + (index / 4) * 240, 200, 130);
}
Step drawIn(int index, const QString& toolKey) {
    return [index, toolKey](Session& s) {
        keys(toolKey)(s);
        drag(cell(index).topLeft(), cell(index).bottomRight())(s);
    };
}
int strokePixels(const Session& s, const QImage& shot, int index) {
    return findColour(shot, cell(index).adjusted(-4, -4, 4, 4).translated(s.frame().topLeft()),
                      strokeRed, 30)
        .count;
}
int canvasStrokePixels(const Session& s, const QImage& shot) {
    return findColour(shot, s.canvas(), strokeRed, 30).count;
}

// Rows of the presets sidebar in client coordinates; the sidebar hangs from the window's top,
// so they stay where they are at any window size.
constexpr int presetRowY[] = {111, 140, 171, 201};

// Every preset row ends inside the window with its light grey delete mark, after a whole size
// label: a row cut off at the window's right edge shows a part of its label there instead.
bool presetRowsWhole(const Session& s, const QImage& shot) {
    const QRect c = s.frame();
    for (const int rowY : presetRowY) {
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
        if (grey < 6 || dark > 0 || label < 20) return false;
    }
    return true;
}

// A patch of the screen, kept to tell later whether something has covered it.
using Patch = std::shared_ptr<QImage>;
Step remember(QRect clientArea, Patch patch) {
    return [clientArea, patch](Session& s) {
        QTest::qWait(300); // what is in the patch has come to rest
        *patch = screenshot().copy(clientArea.translated(s.frame().topLeft()));
    };
}
// The share of the patch's pixels that now differ from what was remembered.
double changedShare(const Session& s, const QImage& shot, QRect clientArea, const QImage& before) {
    const QImage now = shot.copy(clientArea.translated(s.frame().topLeft()));
    if (now.size() != before.size() || now.isNull()) return 1;
    int changed = 0;
    for (int y = 0; y < now.height(); ++y) {
        for (int x = 0; x < now.width(); ++x)
            changed += !near(now.pixel(x, y), before.pixel(x, y), 8);
    }
    return double(changed) / (now.width() * now.height());
}
// A click on `control` opens a popup over `area`; a second click on it closes the popup.
Step secondClickCloses(std::string name, QPoint control, QRect area) {
    auto patch = std::make_shared<QImage>();
    const auto changed = [area, patch](const Session& s, const QImage& shot) {
        return changedShare(s, shot, area, *patch);
    };
    return steps({remember(area, patch), click(control),
                  expectOnScreen("the first click opens the " + name,
                                 [=](const Session& s, const QImage& shot) {
                                     return changed(s, shot) > 0.3;
                                 }),
                  pause(300), click(control),
                  // A popup reopened by the release would show again at once; give it the time.
                  pause(800),
                  expectOnScreen("the second click closes the " + name,
                                 [=](const Session& s, const QImage& shot) {
                                     return changed(s, shot) < 0.01;
                                 })});
}

// The arguments of one xdotool run that drags from `from` to `to` as a hand does: it presses,
// nudges until the drag has surely begun, travels in steps and lets go.
QStringList handDrag(QPoint from, QPoint to) {
    QStringList args;
    const auto move = [&args](QPoint at, const char* pause) {
        args << "mousemove" << xy(at) << "sleep" << pause;
    };
    move(from, "0.3");
    args << "mousedown" << "1";
    move(from + QPoint(6, 6), "0.3");
    move(from + QPoint(12, 12), "0.8");
    for (int i = 1; i <= 10; ++i)
        move(from + (to - from) * i / 10, "0.1");
    move(to + QPoint(1, 1), "0.6");
    args << "mouseup" << "1";
    return args;
}
// The window's opacity as the window manager is told it (no value: opaque).
quint64 windowOpacity(const QString& id) {
    const QString value = run("xprop", {"-id", id, "_NET_WM_WINDOW_OPACITY"});
    const qsizetype equals = value.indexOf('=');
    return equals < 0 ? 0xFFFFFFFFu : value.mid(equals + 1).trimmed().toULongLong();
}

// The strings of every text and note in the document `path`, or in those under the folder.
QStringList textsIn(const QString& path) {
    QStringList texts;
    for (const QString& document : documentsAt(path)) {
        const auto state = readDocumentFile(document, QString());
        if (!state) continue;
        for (const CanvasItem& item : state.value().items) {
            if (const TextItem* text = item.text()) texts.append(text->string);
        }
    }
    texts.sort();
    return texts;
}

// Boxes of the runs of screen columns inside `area` that hold pixels of `colour`, left to right:
// pictures of one colour laid out in a row.
QList<QRect> columnRunsOf(const QImage& shot, const QRect& area, QColor colour) {
    QList<QRect> runs;
    const QRect within = area.intersected(shot.rect());
    int start = -1;
    for (int x = within.left(); x <= within.right() + 1; ++x) {
        bool has = false;
        for (int y = within.top(); x <= within.right() && y <= within.bottom() && !has; y += 2)
            has = near(shot.pixel(x, y), colour, 12);
        if (has && start < 0) start = x;
        if (!has && start >= 0) {
            const QRect columns(start, within.top(), x - start, within.height());
            runs.append(findColour(shot, columns, colour).box);
            start = -1;
        }
    }
    return runs;
}
QList<QRect> greenPictures(const Session& s, const QImage& shot) {
    return columnRunsOf(shot, s.canvas(), pageGreen);
}
// Whether the selection outline (the highlight colour: clearly blue) lies on every edge of
// `box`: the outermost outline pixel found near each edge, across its middle (the outline is
// dashed, so a band of rows or columns is searched), is within 3 pixels of it.
bool outlined(const QImage& shot, const QRect& box) {
    const auto accent = [&shot](int x, int y) {
        if (!shot.rect().contains(x, y)) return false;
        const QRgb p = shot.pixel(x, y);
        return qBlue(p) - qRed(p) > 60 && qBlue(p) > qGreen(p) + 10;
    };
    const QPoint c = box.center();
    int left = 1 << 20, right = -left, top = left, bottom = -left; // none found: far off
    for (int d = -8; d <= 8; ++d) {
        for (int e = -6; e <= 6; ++e) {
            if (accent(box.left() + e, c.y() + d)) left = std::min(left, box.left() + e);
            if (accent(box.right() + e, c.y() + d)) right = std::max(right, box.right() + e);
            if (accent(c.x() + d, box.top() + e)) top = std::min(top, box.top() + e);
            if (accent(c.x() + d, box.bottom() + e)) bottom = std::max(bottom, box.bottom() + e);
        }
    }
    const auto close = [](int a, int b) { return std::abs(a - b) <= 3; };
    return close(left, box.left()) && close(right, box.right()) && close(top, box.top()) &&
           close(bottom, box.bottom());
}

// Starts the application on its capture tab at a page served here, green from edge to edge
// and `height` tall, and waits (a minute for the first load) until the page fills the browser.
Step launchOnGreenPage(const QByteArray& path, const QByteArray& query, const QByteArray& title,
                       int height, bool fullPage) {
    return steps(
        {check([=](Session& s) {
             s.server().page(path, "<!doctype html><html><head><title>" + title +
                                       "</title></head><body style='margin:0;background:#00aa00'>"
                                       "<div style='height:" + QByteArray::number(height) +
                                       "px'></div></body></html>");
             const QUrl url = s.server().url(QString::fromLatin1(path + query));
             s.settings = "defaultURL=\"" + url.toEncoded() + "\"\n" +
                          (fullPage ? "captureFullPage=true\n" : "") + "defaultTab=capture\n";
         }),
         launchUntitled(),
         expectOnScreen(
             "the page is shown",
             [](const Session& s, const QImage& shot) {
                 return findColour(shot, s.frame(), pageGreen).count > 100000;
             },
             60000)});
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> all;

    all.push_back({"TheWelcomeSheetIsCentredOnItsWindowAndCtrlQQuitsFromIt",
                   {launchUntitled(false), check([](Session& s) {
                        const QRect window = s.frame();
                        const QString sheet = s.waitForWindow("Welcome to Pintora");
                        ASSERT_FALSE(sheet.isEmpty());
                        QRect placed;
                        (void)QTest::qWaitFor(
                            [&] {
                                placed = windowGeometry(sheet);
                                return std::abs(placed.center().x() - window.center().x()) <= 2 &&
                                       std::abs(placed.center().y() - window.center().y()) <= 40;
                            },
                            expectTimeoutMs);
                        s.saveShot("welcome-sheet");
                        EXPECT_NEAR(placed.center().x(), window.center().x(), 2);
                        // Title bars differ in height between a window and a dialog.
                        EXPECT_NEAR(placed.center().y(), window.center().y(), 40);
                    }),
                    // The sheet has the keyboard already; Ctrl+Q goes to it.
                    keys("ctrl+q"), expectExit()}});

    {
        // Shapes show in the default colour; a text and a note are told by what they change.
        const auto shapesShown = [](int count) {
            return [count](const Session& s, const QImage& shot) {
                for (int i = 0; i < 5; ++i) {
                    if ((strokePixels(s, shot, i) >= 200) != (i < count)) return false;
                }
                return true;
            };
        };
        auto canvas = std::make_shared<QImage>();
        const QRect canvasArea(cell(0).left() - 40, cell(0).top() - 40, 1120, 460);
        const auto changedIn = [canvas, canvasArea](const Session& s, const QImage& shot, int i) {
            const QRect c = cell(i);
            return changedShare(s, shot, c, canvas->copy(c.translated(-canvasArea.topLeft())));
        };
        all.push_back(
            {"EveryDrawingToolDrawsWhereDraggedAndUndoTakesEachAway",
             {launchUntitled(), keys("ctrl+2"), remember(canvasArea, canvas), drawIn(0, "r"),
              drawIn(1, "o"), drawIn(2, "a"), drawIn(3, "l"), drawIn(4, "c"), drawIn(5, "t"),
              pause(300), type("Hello"), keys("Escape"), drawIn(6, "n"), pause(300), type("Card"),
              keys("Escape"),
              expectOnScreen("every tool's item shows in its own cell",
                             [=](const Session& s, const QImage& shot) {
                                 return shapesShown(5)(s, shot) && changedIn(s, shot, 5) > 0.005 &&
                                        changedIn(s, shot, 6) > 0.5;
                             }),
              shot("drawn"),
              // A text or a note is added, then its words are one more step.
              keys("Escape", "ctrl+z", "ctrl+z"),
              expectOnScreen("two undos take the note's words and the note away",
                             [=](const Session& s, const QImage& shot) {
                                 return changedIn(s, shot, 6) < 0.01 &&
                                        changedIn(s, shot, 5) > 0.005;
                             }),
              keys("ctrl+z", "ctrl+z"),
              expectOnScreen("two more take the text away",
                             [=](const Session& s, const QImage& shot) {
                                 return changedIn(s, shot, 5) < 0.01 && shapesShown(5)(s, shot);
                             }),
              keys("ctrl+z"), expectOnScreen("undo takes the callout away", shapesShown(4)),
              keys("ctrl+z", "ctrl+z", "ctrl+z", "ctrl+z"),
              expectOnScreen("undo takes every shape away", shapesShown(0))}});
    }

    all.push_back(
        {"ASavedDocumentKeepsTheZoomAndPanTheUserLastSaw",
         {launchPictureInFrame(), keys("ctrl+s"), pause(500), check([](Session& s) {
              const QString file = s.document();
              const double zoom = storedNumber(file, &CanvasState::zoom);
              EXPECT_GT(zoom, 0.1);
              EXPECT_LT(zoom, 0.9) << "the fitted zoom was not saved";
              const double panY = storedNumber(file, &CanvasState::panY);
              wheel(QPoint(640, 500), 5, 3)(s); // three notches of scrolling pan the canvas
              QTest::qWait(300);
              keys("ctrl+s")(s);
              (void)savedSoon(file, [&](const CanvasState& state) { return state.panY != panY; });
              EXPECT_NEAR(std::abs(storedNumber(file, &CanvasState::panY) - panY), 60, 0.5);
              EXPECT_DOUBLE_EQ(storedNumber(file, &CanvasState::zoom), zoom);
          })}});

    all.push_back({"ThePresetsSidebarShowsEveryRowWholeAtTheDefaultAndTheMinimumSize",
                   {launchUntitled(), keys("ctrl+1"),
                    expectOnScreen("every row is whole at the default size", presetRowsWhole),
                    shot("default-size"), resizeTo(QSize(400, 300)), check([](Session& s) {
                        EXPECT_LT(s.frame().width(), 1280) << "the window did not shrink";
                    }),
                    expectOnScreen("every row is whole at the minimum size", presetRowsWhole),
                    shot("minimum-size")}});

    // The colour swatch of the rectangle tool and the space its popover opens into; the first
    // preset's size and the rows below it that its popover covers.
    all.push_back({"ASecondClickOnTheColourSwatchOrAPresetSizeClosesItsPopover",
                   {launchUntitled(), keys("ctrl+2"), pause(300), keys("r"),
                    secondClickCloses("colour popover", QPoint(375, 80), QRect(255, 100, 240, 140)),
                    keys("ctrl+1"),
                    secondClickCloses("size popover", QPoint(1199, presetRowY[0]),
                                      QRect(1010, presetRowY[0] + 14, 260, 60))}});

    all.push_back(
        {"TheCanvasDraggedOutDropsIntoTheProgramBehindAndTheWindowComesBack",
         {launchPictureInFrame(), check([](Session& s) {
              // A program that takes drops, in the middle of the screen, under the window.
              const QPoint target = s.at(QPoint(500, 400));
              QProcess peer;
              peer.start(PINTORA_DND_PEER, QStringList{"target"} + xy(target));
              ASSERT_TRUE(peer.waitForStarted());
              ASSERT_TRUE(QTest::qWaitFor([&] { return peer.canReadLine(); }, 10000));
              xdotool({"windowactivate", "--sync", s.window()});
              QTest::qWait(500);
              s.saveShot("peer-behind");
              // The drag-out thumbnail at the right of the annotate toolbar; a second drag
              // starts at once after the drop, while the window still fades back.
              const QPoint thumb = s.at(QPoint(s.frame().width() - 127, 79));
              QProcess hand;
              hand.start("xdotool", handDrag(thumb, target + QPoint(100, 100)) << "mousemove"
                                        << xy(thumb) << handDrag(thumb, s.at(QPoint(200, 600))));
              EXPECT_TRUE(
                  QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, 30000))
                  << "the program behind the window got no drop";
              const QString out = QString::fromUtf8(peer.readAll());
              // The drop carries the picture itself and a file holding the same bytes.
              EXPECT_TRUE(out.contains(QRegularExpression("png [1-9]"))) << out.toStdString();
              EXPECT_TRUE(out.contains(QRegularExpression("file .+ same"))) << out.toStdString();
              EXPECT_TRUE(hand.waitForFinished(30000));
              peer.kill();
              peer.waitForFinished();
              EXPECT_TRUE(
                  QTest::qWaitFor([&] { return windowOpacity(s.window()) == 0xFFFFFFFFu; }, 5000))
                  << "the window stays see-through: " << windowOpacity(s.window());
          })}});

    all.push_back(
        {"WordsStillInTheEditorAreSavedAndKeptAtQuit",
         {launchWith(documentWith({})), drawIn(0, "n"), pause(300), type("Saved words"),
          keys("ctrl+s"), check([](Session& s) {
              EXPECT_TRUE(savedSoon(
                  s.document(),
                  [](const CanvasState& state) {
                      return state.items.size() == 1 && state.items[0].text() &&
                             state.items[0].text()->string == QLatin1String("Saved words");
                  },
                  10000))
                  << "the save left out what the editor held";
          }),
          drawIn(1, "n"), pause(300), type("Important note"), keys("Escape"), drawIn(2, "t"),
          pause(300), type("Typed to the end"), keys("ctrl+q"), expectExit(),
          check([](Session& s) {
              EXPECT_EQ(textsIn(s.document()),
                        QStringList({"Important note", "Saved words", "Typed to the end"}));
          })}});

    all.push_back({"AnUntitledDocumentsOpenEditGoesIntoItsDraftAtQuit",
                   {launchUntitled(), keys("ctrl+2"), pause(300), drawIn(0, "t"), pause(300),
                    type("Nothing typed is lost"), keys("ctrl+q"), expectExit(),
                    check([](Session& s) {
                        EXPECT_EQ(textsIn(s.path("data")), QStringList({"Nothing typed is lost"}));
                    })}});

    all.push_back(
        {"FourFullPagePicturesOfAnEncodedAddressSitInOneRowInTheirOutlinesAndKeepIt",
         {launchOnGreenPage("/caf%C3%A9", "?q=a%20b&p=%2F+x", "Q&amp;A", 1500, true),
          // Tablet and Mobile are off at first: their check boxes turn them on.
          click(QPoint(1020, presetRowY[2])), click(QPoint(1020, presetRowY[3])), pause(300),
          keys("ctrl+k"),
          expectOnScreen(
              "four pictures in one row, each inside its selection outline",
              [](const Session& s, const QImage& shot) {
                  const QList<QRect> pictures = greenPictures(s, shot);
                  const int row = pictures.value(0).center().y();
                  return pictures.size() == 4 &&
                         std::all_of(pictures.begin(), pictures.end(), [&](const QRect& picture) {
                             return std::abs(picture.center().y() - row) <= 2 &&
                                    picture.height() >= 100 && outlined(shot, picture);
                         });
              },
              90000),
          shot("captured"), keys("ctrl+q"), expectExit(), check([](Session& s) {
              const QStringList drafts = documentsAt(s.path("data"));
              ASSERT_FALSE(drafts.isEmpty()) << "no draft was written at quit";
              const auto state = readDocumentFile(drafts[0], QString());
              ASSERT_TRUE(state);
              ASSERT_EQ(state.value().tabs.size(), 1);
              EXPECT_EQ(state.value().tabs[0].url,
                        s.server().url("/caf%C3%A9?q=a%20b&p=%2F+x").toString(QUrl::FullyEncoded));
              EXPECT_EQ(state.value().tabs[0].title, "Q&A");
          })}});

    all.push_back(
        {"APageCutAtTheHeightLimitSaysSoAboveTheCanvasOnceItsPictureIsShown",
         {launchOnGreenPage("/endless", "", "Endless", 300000, true),
          // Laptop off: Widescreen alone, 40,000 points of it.
          click(QPoint(1020, presetRowY[1])), pause(300), keys("ctrl+k"),
          expectOnScreen(
              "the picture on the canvas under the amber notice of the cut",
              [](const Session& s, const QImage& shot) {
                  const Found band = findColour(shot, s.frame(), QColor(0xff, 0xf1, 0xc2), 3);
                  return greenPictures(s, shot).size() == 1 && band.count > 20000 &&
                         band.box.width() > s.frame().width() - 10;
              },
              120000),
          shot("cut")}});

    {
        // A red picture crossed by a blue line 8 pixels wide: a redaction over the line leaves
        // no pure blue under the box (every 12-pixel block holds some red), and the rest of the
        // line.
        QImage pixels(1800, 1200, QImage::Format_RGB32);
        pixels.fill(frameRed);
        QPainter(&pixels).fillRect(896, 0, 8, 1200, pictureBlue);
        ImageItem picture;
        picture.frame = QRectF(100, 100, 1800, 1200);
        picture.pngData = test::encodePng(pixels);
        auto box = std::make_shared<QRect>(); // where the redaction is dragged, on the screen
        const auto lineRows = [](const Session& s, const QImage& shot, int top, int bottom) {
            const QRect canvas = s.canvas();
            return findColour(shot, QRect(canvas.left(), top, canvas.width(), bottom - top + 1),
                              pictureBlue, 40)
                .count;
        };
        all.push_back(
            {"ARedactionDraggedOverAPictureHidesWhatIsUnderTheBoxOnlyAndUndoBringsItBack",
             {launchWith(documentWith({picture})),
              expectOnScreen("the picture and its line are shown",
                             [](const Session& s, const QImage& shot) {
                                 return findColour(shot, s.canvas(), pictureBlue, 40).count > 500;
                             }),
              check([box](Session& s) {
                  const QRect line = findColour(screenshot(), s.canvas(), pictureBlue, 40).box;
                  *box = QRect(line.center().x() - 60, line.center().y() - 80, 120, 160);
                  keys("x")(s);
                  drag(box->topLeft() - s.frame().topLeft(),
                       box->bottomRight() - s.frame().topLeft())(s);
              }),
              expectOnScreen("no line left under the box, all of it above and below",
                             [box, lineRows](const Session& s, const QImage& shot) {
                                 return lineRows(s, shot, box->top() + 4, box->bottom() - 4) ==
                                            0 &&
                                        lineRows(s, shot, box->top() - 60, box->top() - 8) > 100 &&
                                        lineRows(s, shot, box->bottom() + 8, box->bottom() + 60) >
                                            100;
                             }),
              shot("redacted"), keys("ctrl+s"), check([](Session& s) {
                  // The line's pixels in the saved picture, once the save has written it.
                  int blue = -1;
                  EXPECT_TRUE(savedSoon(s.document(), [&](const CanvasState& state) {
                      if (state.items.size() != 1) return false;
                      const QImage picture = QImage::fromData(state.items[0].image()->pngData);
                      blue = findColour(picture, picture.rect(), pictureBlue, 0).count;
                      return blue < 8 * 1200;
                  })) << "the saved picture still holds the whole line";
                  EXPECT_GT(blue, 0) << "the line outside the box is kept";
                  EXPECT_LT(blue, 8 * 1200 - 8 * 200) << "more than the box's rows were lost";
              }),
              keys("ctrl+z"),
              expectOnScreen("undo brings the line back under the box",
                             [box, lineRows](const Session& s, const QImage& shot) {
                                 return lineRows(s, shot, box->top() + 4, box->bottom() - 4) > 300;
                             })}});
    }

    // Another program reads the X clipboard as a chat or an image editor would.
    const auto clipboardPicture = [](Session& s) {
        QImage picture;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                picture = QImage::fromData(
                    output("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"}, 10000));
                return !picture.isNull();
            },
            expectTimeoutMs))
            << "no picture on the clipboard";
        s.saveShot("clipboard-read");
        return picture.convertToFormat(QImage::Format_ARGB32);
    };
    auto rectangle = std::make_shared<QImage>();
    all.push_back(
        {"CopyAsPNGAndExportGiveTheCanvasAsTheCommandLineRendersItOrOnlyTheSelectedItems",
         {launchPictureInFrame(), keys("ctrl+shift+c"), check([clipboardPicture](Session& s) {
              const QImage copied = clipboardPicture(s);
              const QImage exported = renderImage(pictureInFrame());
              EXPECT_EQ(copied.size(), exported.size());
              EXPECT_TRUE(copied == exported.convertToFormat(QImage::Format_ARGB32))
                  << "the clipboard's picture is not the export";
          }),
          // A new rectangle is drawn selected: only it is copied, with the export's margin.
          drawIn(0, "r"), keys("ctrl+shift+c"), check([clipboardPicture, rectangle](Session& s) {
              QImage& copied = *rectangle;
              ASSERT_TRUE(QTest::qWaitFor(
                  [&] {
                      copied = clipboardPicture(s);
                      return copied.width() < 1000;
                  },
                  expectTimeoutMs))
                  << "the whole canvas was copied, not the selected rectangle";
              EXPECT_GT(findColour(copied, copied.rect(), strokeRed, 30).count, 200);
              EXPECT_EQ(findColour(copied, copied.rect(), pictureBlue, 4).count, 0)
                  << "the picture under the selected rectangle was copied with it";
          }),
          // A callout's head, centred on where the drag ended, reaches past its frame: the
          // copy still shows all of it on paper. The drag starts left of the picture's frame
          // (one that starts on an item moves it).
          keys("c"), drag({40, 430}, {180, 560}), keys("ctrl+shift+c"),
          check([clipboardPicture, rectangle](Session& s) {
              QImage copied;
              ASSERT_TRUE(QTest::qWaitFor(
                  [&] {
                      copied = clipboardPicture(s);
                      return copied.width() < 1000 && copied != *rectangle;
                  },
                  expectTimeoutMs))
                  << "the callout was not copied";
              s.saveShot("callout-copied");
              copied.save(s.shotsDir + "/callout-copy.png");
              EXPECT_GT(findColour(copied, copied.rect(), strokeRed, 30).count, 200);
              const int paper = int(exportMargin) - 4;
              const QRect inside = copied.rect().adjusted(paper, paper, -paper, -paper);
              EXPECT_EQ(inkOutside(copied, inside), 0) << "the callout reaches into the margin";
          }),
          keys("Escape", "ctrl+s", "ctrl+shift+e"),
          check([](Session& s) {
              ASSERT_FALSE(s.waitForWindow("^Export$").isEmpty());
              QTest::qWait(500);
              s.saveShot("export-dialog");
              const QString exported = s.path("exported.png");
              steps({keys("ctrl+a"), type(exported), keys("Return")})(s);
              ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(exported).size() > 0; }, 15000))
                  << "nothing was exported";
              const QString rendered = s.path("rendered.png");
              QProcess cli;
              cli.start(PINTORA_CLI, {"export", s.document(), rendered});
              ASSERT_TRUE(cli.waitForFinished(60000));
              ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
              const QImage fromWindow(exported);
              const QImage fromCli(rendered);
              ASSERT_FALSE(fromWindow.isNull());
              EXPECT_EQ(fromWindow.size(), fromCli.size());
              EXPECT_TRUE(fromWindow.convertToFormat(QImage::Format_ARGB32) ==
                          fromCli.convertToFormat(QImage::Format_ARGB32))
                  << "the export differs from the saved document's rendering";
              // The rectangle drawn in the window is part of it.
              EXPECT_GT(findColour(fromWindow, fromWindow.rect(), strokeRed, 30).count, 1000);
          })}});

    all.push_back(
        {"WhatIsCopiedInOneWindowIsPastedInTheOther",
         {launchUntitled(), keys("ctrl+2"), drawIn(0, "r"), keys("ctrl+c"), check([](Session& s) {
              const QString first = s.window();
              keys("ctrl+n")(s);
              s.useWindow("Untitled", first);
              ASSERT_NE(s.window(), first);
          }),
          keys("ctrl+2"),
          expectOnScreen("the new window's canvas is empty",
                         [](const Session& s, const QImage& shot) {
                             return canvasStrokePixels(s, shot) == 0;
                         }),
          keys("ctrl+v"),
          expectOnScreen("the rectangle is pasted into the window in front",
                         [](const Session& s, const QImage& shot) {
                             return canvasStrokePixels(s, shot) > 200;
                         }),
          shot("pasted")}});

    return all;
}

class AppScenarioTest : public ::testing::TestWithParam<Scenario> {
protected:
    // The window a running window manager names on the root window; a manager that has quit
    // leaves the name behind, so the window itself must still be there.
    static QString liveWindowManager() {
        const QString check = run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
        const qsizetype hash = check.indexOf('#');
        if (!check.contains("window id") || hash < 0) return {};
        const QString id = check.mid(hash + 1).trimmed();
        QProcess info;
        info.start("xwininfo", {"-id", id});
        info.waitForFinished(10000);
        return info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0 ? id : QString();
    }
    // A window manager places, decorates and focuses windows as on a desktop. One that another
    // program started may go away with it at any time, so each scenario makes sure of one.
    static void ensureWindowManager() {
        if (!liveWindowManager().isEmpty()) return;
        TearDownTestSuite();
        windowManager = new QProcess;
        windowManager->start("openbox", {"--sm-disable"});
        ASSERT_TRUE(windowManager->waitForStarted(-1));
        ASSERT_TRUE(QTest::qWaitFor([] { return !liveWindowManager().isEmpty(); }, 30000))
            << "openbox did not start";
    }
    static void TearDownTestSuite() {
        if (!windowManager) return;
        windowManager->terminate();
        windowManager->waitForFinished(5000);
        delete windowManager;
        windowManager = nullptr;
    }
    static inline QProcess* windowManager = nullptr;
};

TEST_P(AppScenarioTest, Runs) {
    ensureWindowManager();
    if (HasFatalFailure()) return;
    const QString shots = QDir::currentPath() + "/e2e-shots/" + GetParam().name;
    QDir(shots).removeRecursively();
    QDir().mkpath(shots);
    Session session(shots);
    steps(GetParam().steps)(session);
}

INSTANTIATE_TEST_SUITE_P(, AppScenarioTest, ::testing::ValuesIn(scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
