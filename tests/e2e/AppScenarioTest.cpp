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
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace pintora;

namespace {

constexpr int expectTimeoutMs = 15000;

QString run(const QString& program, const QStringList& arguments, int timeoutMs = 30000) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
void xdotool(const QStringList& arguments) {
    run(QStringLiteral("xdotool"), arguments);
}

// A window's client area on the screen (xwininfo, unlike xdotool, gives its true position
// inside the window manager's frame).
QRect windowGeometry(const QString& id) {
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    QMap<QString, int> values;
    for (const QString& line : info.split(QLatin1Char('\n'))) {
        const auto parts = line.split(QLatin1Char(':'));
        if (parts.size() == 2) values[parts[0].trimmed()] = parts[1].trimmed().toInt();
    }
    return QRect(values.value(QStringLiteral("Absolute upper-left X")),
                 values.value(QStringLiteral("Absolute upper-left Y")),
                 values.value(QStringLiteral("Width")), values.value(QStringLiteral("Height")));
}

QImage screenshot() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

bool near(QRgb pixel, QColor colour, int tolerance) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
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

CanvasState documentWith(QList<CanvasItem> items) {
    CanvasState state = CanvasState::makeNew(QStringLiteral("about:blank"));
    state.items = std::move(items);
    state.lastActiveTabRaw = QStringLiteral("annotate");
    return state;
}

// One run of the application in a home of its own, and what the steps of a scenario use.
class Session {
public:
    explicit Session(const QString& shotsDir) : shotsDir_(shotsDir) {
        QDir().mkpath(home_.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(home_.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(home_.filePath(QStringLiteral("config/Pintora")));
        setSeenIntro(true);
    }
    ~Session() {
        if (app_) {
            app_->kill();
            app_->waitForFinished(-1);
        }
    }

    QString path(const QString& name) const { return home_.filePath(name); }
    // A web server on 127.0.0.1 for pages the application loads, there while the session is.
    test::TestWebServer& server() {
        if (!server_) server_ = std::make_unique<test::TestWebServer>();
        return *server_;
    }
    void setSeenIntro(bool seen) {
        seenIntro_ = seen;
        writeSettings();
    }
    // Lines added to the [General] settings the application starts with.
    void setSettings(const QByteArray& lines) {
        settings_ = lines;
        writeSettings();
    }

    void launch(const QStringList& arguments) {
        app_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        app_->setProcessEnvironment(env);
        app_->setProcessChannelMode(QProcess::ForwardedChannels);
        app_->start(QStringLiteral(PINTORA_BINARY), arguments);
        ASSERT_TRUE(app_->waitForStarted(-1));
    }
    QProcess* app() const { return app_.get(); }

    // The first visible window of the application whose title matches `name`, other than
    // `except`.
    QString waitForWindow(const QString& name, const QString& except = {}) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000) {
            const QString ids = run(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--pid"), QString::number(app_->processId()),
                                     QStringLiteral("--name"), name});
            for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (id != except) return id;
            }
            if (app_->state() != QProcess::Running) break;
            QTest::qWait(100);
        }
        ADD_FAILURE() << "no window " << name.toStdString();
        return {};
    }
    // The document window, in front with the keyboard, and its client area.
    void useWindow(const QString& name, const QString& except = {}) {
        window_ = waitForWindow(name, except);
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window_});
        settle();
    }
    // The same without activating it: a modal sheet over it keeps the keyboard.
    void watchWindow(const QString& name) {
        window_ = waitForWindow(name);
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
    // A point given relative to the window's client area, on the screen.
    QPoint at(QPoint p) const { return frame_.topLeft() + p; }

    // Polls screenshots until `holds` is true of one; the last one is kept for the failure.
    void expect(const std::string& what, const std::function<bool(const QImage&)>& holds,
                int timeoutMs = expectTimeoutMs) {
        QElapsedTimer clock;
        clock.start();
        QImage shot;
        do {
            shot = screenshot();
            if (holds(shot)) return;
            QTest::qWait(100);
        } while (clock.elapsed() < timeoutMs);
        const QString file = shotsDir_ + QStringLiteral("/failed-%1.png").arg(++failures_);
        shot.save(file);
        ADD_FAILURE() << what << " (screen: " << file.toStdString() << ")";
    }
    void saveShot(const QString& name) const {
        screenshot().save(shotsDir_ + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

private:
    void writeSettings() {
        test::writeAll(path(QStringLiteral("config/Pintora/Pintora.conf")),
                       "[General]\n" + QByteArray(seenIntro_ ? "hasSeenIntro=true\n" : "") +
                           settings_);
    }

    QTemporaryDir home_;
    bool seenIntro_ = true;
    QByteArray settings_;
    std::unique_ptr<test::TestWebServer> server_;
    QString shotsDir_;
    std::unique_ptr<QProcess> app_;
    QString window_;
    QRect frame_;
    int failures_ = 0;
};

// The steps scenarios are made of.
using Step = std::function<void(Session&)>;

Step launchWith(const CanvasState& state) {
    return [state](Session& s) {
        const QString file = s.path(QStringLiteral("shots.pintora"));
        ASSERT_EQ(writeDocumentFile(file, state), QString());
        s.launch({file});
        s.useWindow(QStringLiteral("shots.pintora"));
    };
}
Step launchUntitled(bool seenIntro = true) {
    return [seenIntro](Session& s) {
        s.setSeenIntro(seenIntro);
        s.launch({});
        if (seenIntro) {
            s.useWindow(QStringLiteral("Untitled"));
        } else {
            s.watchWindow(QStringLiteral("Untitled"));
        }
    };
}
Step keys(const QString& sequence) {
    return [sequence](Session&) {
        xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), sequence});
    };
}
Step pause(int ms) {
    return [ms](Session&) { QTest::qWait(ms); };
}
// A left-button drag between two points of the window's client area, in small moves.
Step drag(QPoint from, QPoint to) {
    return [from, to](Session& s) {
        const QPoint a = s.at(from);
        const QPoint b = s.at(to);
        xdotool({QStringLiteral("mousemove"), QString::number(a.x()), QString::number(a.y())});
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int i = 1; i <= 8; ++i) {
            const QPoint p = a + (b - a) * i / 8;
            xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
            QTest::qWait(15);
        }
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    };
}
// Wheel notches over a point of the client area (4 up, 5 down).
Step wheel(QPoint over, int button, int notches) {
    return [over, button, notches](Session& s) {
        const QPoint p = s.at(over);
        xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
        for (int i = 0; i < notches; ++i) {
            xdotool({QStringLiteral("click"), QString::number(button)});
            QTest::qWait(30);
        }
    };
}
// A left click at a point of the window's client area.
Step click(QPoint at) {
    return [at](Session& s) {
        const QPoint p = s.at(at);
        xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                 QStringLiteral("click"), QStringLiteral("1")});
    };
}
// Asks for a client area of `size`; the window manager keeps it at the window's minimum or more.
Step resizeTo(QSize size) {
    return [size](Session& s) {
        xdotool({QStringLiteral("windowsize"), s.window(), QString::number(size.width()),
                 QString::number(size.height())});
        QTest::qWait(300);
        s.settle();
    };
}
Step expectOnScreen(std::string what, std::function<bool(const Session&, const QImage&)> holds,
                    int timeoutMs = expectTimeoutMs) {
    return [what, holds, timeoutMs](Session& s) {
        s.expect(
            what, [&](const QImage& shot) { return holds(s, shot); }, timeoutMs);
    };
}
Step check(std::function<void(Session&)> body) {
    return body;
}
Step expectExit() {
    return [](Session& s) {
        ASSERT_TRUE(s.app()->waitForFinished(30000)) << "the application did not quit";
        EXPECT_EQ(s.app()->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(s.app()->exitCode(), 0);
    };
}

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

const QColor pictureBlue(0, 0, 255);
const QColor frameRed(255, 0, 0);
const QColor strokeRed(0xFF, 0x3B, 0x30); // the default colour of new shapes

// A picture larger than the window, with a rectangle on exactly its frame: the fit shows it
// below zoom 1, where pictures are drawn from scaled copies.
CanvasState pictureInFrame() {
    ImageItem picture;
    picture.frame = QRectF(100, 100, 1800, 1200);
    picture.pngData = test::pngBytes(1800, 1200, pictureBlue);
    ShapeItem frame = makeShape(ShapeKind::rect, picture.frame);
    frame.strokeHex = QStringLiteral("#FF0000");
    frame.lineWidth = 6;
    return documentWith({picture, frame});
}

// The picture's pixels lie just inside the red rectangle drawn on its frame, on every side.
bool pictureSitsInItsFrame(const Session& s, const QImage& shot) {
    // The canvas only: the drag-out thumbnail in the toolbar shows the same blue.
    const QRect canvas = s.frame().adjusted(0, 140, 0, 0);
    const Found blue = findColour(shot, canvas, pictureBlue, 4);
    const Found red = findColour(shot, canvas, frameRed, 40);
    if (blue.count < 10000 || red.count < 1000) return false;
    const QRect outer = red.box;
    const QRect inner = blue.box;
    // The stroke (6 at a zoom under 1) lies inside the frame, over the picture's edge.
    const auto within = [](int d) { return d >= 0 && d <= 8; };
    return within(inner.left() - outer.left()) && within(outer.right() - inner.right()) &&
           within(inner.top() - outer.top()) && within(outer.bottom() - inner.bottom());
}

// Cells of the canvas area for the drawing scenarios, in client coordinates of a 1280 x 800
// window: four columns, two rows, well below the toolbar.
QRect cell(int index) {
    return QRect(120 + (index % 4) * 280, 260 + (index / 4) * 240, 200, 130);
}
Step drawIn(int index, const QString& toolKey) {
    return [index, toolKey](Session& s) {
        keys(toolKey)(s);
        const QRect c = cell(index);
        drag(c.topLeft(), c.bottomRight())(s);
    };
}
int strokePixels(const Session& s, const QImage& shot, int index) {
    return findColour(shot, cell(index).adjusted(-4, -4, 4, 4).translated(s.frame().topLeft()),
                      strokeRed, 30)
        .count;
}

// Rows of the presets sidebar in client coordinates; the sidebar hangs from the window's top,
// so they stay where they are at any window size.
constexpr int presetRowY[] = {111, 140, 171, 201};

// Every preset row ends inside the window with its light grey delete mark, after a whole size
// label: a row cut off at the window's right edge shows a part of its label there instead.
bool presetRowsWhole(const Session& s, const QImage& shot) {
    const QRect c = s.frame();
    for (const int rowY : presetRowY) {
        int grey = 0;
        int dark = 0;
        int label = 0;
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
QRect onScreen(const Session& s, QRect clientArea) {
    return clientArea.translated(s.frame().topLeft());
}
Step remember(QRect clientArea, Patch patch) {
    return [clientArea, patch](Session& s) {
        QTest::qWait(300); // what is in the patch has come to rest
        *patch = screenshot().copy(onScreen(s, clientArea));
    };
}
// The share of the patch's pixels that now differ from what was remembered.
double changedShare(const Session& s, const QImage& shot, QRect clientArea, const QImage& before) {
    const QImage now = shot.copy(onScreen(s, clientArea));
    if (now.size() != before.size() || now.isNull()) return 1;
    int changed = 0;
    for (int y = 0; y < now.height(); ++y) {
        for (int x = 0; x < now.width(); ++x)
            changed += !near(now.pixel(x, y), before.pixel(x, y), 8);
    }
    return double(changed) / (now.width() * now.height());
}
// A click on `control` opens a popup over `area`; a second click on it closes the popup.
std::vector<Step> secondClickCloses(std::string name, QPoint control, QRect area) {
    auto patch = std::make_shared<QImage>();
    return {remember(area, patch), click(control),
            expectOnScreen("the first click opens the " + name,
                           [area, patch](const Session& s, const QImage& shot) {
                               return changedShare(s, shot, area, *patch) > 0.3;
                           }),
            pause(300), click(control),
            // A popup reopened by the release would show again at once; give it the time.
            pause(800),
            expectOnScreen("the second click closes the " + name,
                           [area, patch](const Session& s, const QImage& shot) {
                               return changedShare(s, shot, area, *patch) < 0.01;
                           })};
}

// The arguments of one xdotool run that drags from `from` to `to` as a hand does: it presses,
// nudges until the drag has surely begun, travels in steps and lets go.
QStringList handDrag(QPoint from, QPoint to) {
    QStringList args;
    const auto move = [&args](QPoint at, const char* pause) {
        args << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
             << QStringLiteral("sleep") << QString::fromLatin1(pause);
    };
    move(from, "0.3");
    args << QStringLiteral("mousedown") << QStringLiteral("1");
    move(from + QPoint(6, 6), "0.3");
    move(from + QPoint(12, 12), "0.8");
    for (int i = 1; i <= 10; ++i)
        move(from + (to - from) * i / 10, "0.1");
    move(to + QPoint(1, 1), "0.6");
    args << QStringLiteral("mouseup") << QStringLiteral("1");
    return args;
}
// The window's opacity as the window manager is told it (no value: opaque).
quint64 windowOpacity(const QString& id) {
    const QString value = run(QStringLiteral("xprop"), {QStringLiteral("-id"), id,
                                                        QStringLiteral("_NET_WM_WINDOW_OPACITY")});
    const qsizetype equals = value.indexOf(QLatin1Char('='));
    return equals < 0 ? 0xFFFFFFFFu : value.mid(equals + 1).trimmed().toULongLong();
}

// The strings of every text and note in the document `path`, or in those under the folder.
QStringList textsIn(const QString& path) {
    QStringList texts;
    QStringList documents;
    if (QFileInfo(path).isFile()) documents.append(path);
    QDirIterator files(path, {QStringLiteral("*.pintora")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        documents.append(files.next());
    for (const QString& document : documents) {
        const auto state = readDocumentFile(document, QString());
        if (!state) continue;
        for (const CanvasItem& item : state.value().items) {
            if (const TextItem* text = item.text()) texts.append(text->string);
        }
    }
    texts.sort();
    return texts;
}
Step type(const QString& text) {
    return [text](Session&) {
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
    };
}

double storedNumber(const QString& file, double CanvasState::*field) {
    const auto state = readDocumentFile(file, QString());
    return state ? state.value().*field : std::nan("");
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
// The edges of the selection outline (the highlight colour: clearly blue) found near each edge
// of `box`, across its middle (the outline is dashed, so a band of rows or columns is searched);
// an edge with no outline near it is missing from the result.
std::optional<QRect> outlineAround(const QImage& shot, const QRect& box) {
    const auto accent = [&shot](int x, int y) {
        if (!shot.rect().contains(x, y)) return false;
        const QRgb p = shot.pixel(x, y);
        return qBlue(p) - qRed(p) > 60 && qBlue(p) > qGreen(p) + 10;
    };
    const QPoint c = box.center();
    int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
    for (int d = -8; d <= 8; ++d) {
        for (int e = -6; e <= 6; ++e) {
            if (accent(box.left() + e, c.y() + d)) left = std::min(left, box.left() + e);
            if (accent(box.right() + e, c.y() + d)) right = std::max(right, box.right() + e);
            if (accent(c.x() + d, box.top() + e)) top = std::min(top, box.top() + e);
            if (accent(c.x() + d, box.bottom() + e)) bottom = std::max(bottom, box.bottom() + e);
        }
    }
    if (left == INT_MAX || right == INT_MIN || top == INT_MAX || bottom == INT_MIN) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
const QColor pageGreen(0, 0xAA, 0);

// The green test page fills the browser, given a minute for the first load.
Step greenPageShown() {
    return expectOnScreen(
        "the page is shown",
        [](const Session& s, const QImage& shot) {
            return findColour(shot, s.frame(), pageGreen).count > 100000;
        },
        60000);
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> all;

    all.push_back({"PicturesAreDrawnInsideTheirFramesBelowZoomOne",
                   {launchWith(pictureInFrame()),
                    expectOnScreen("the picture lies inside the rectangle on its frame",
                                   pictureSitsInItsFrame),
                    check([](Session& s) { s.saveShot(QStringLiteral("picture-in-frame")); })}});

    all.push_back({"TheWelcomeSheetIsCentredOnItsWindowAndCtrlQQuitsFromIt",
                   {launchUntitled(false), check([](Session& s) {
                        const QRect window = s.frame();
                        const QString sheet = s.waitForWindow(QStringLiteral("Welcome to Pintora"));
                        ASSERT_FALSE(sheet.isEmpty());
                        QRect placed;
                        QElapsedTimer clock;
                        clock.start();
                        do {
                            placed = windowGeometry(sheet);
                            if (std::abs(placed.center().x() - window.center().x()) <= 2 &&
                                std::abs(placed.center().y() - window.center().y()) <= 40)
                                break;
                            QTest::qWait(100);
                        } while (clock.elapsed() < expectTimeoutMs);
                        s.saveShot(QStringLiteral("welcome-sheet"));

                        EXPECT_NEAR(placed.center().x(), window.center().x(), 2);
                        // Title bars differ in height between a window and a dialog.
                        EXPECT_NEAR(placed.center().y(), window.center().y(), 40);
                        // The sheet has the keyboard already; Ctrl+Q goes to it.
                    }),
                    keys(QStringLiteral("ctrl+q")), expectExit()}});

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
        all.push_back({"EveryDrawingToolDrawsWhereDraggedAndUndoTakesEachAway",
                       {launchUntitled(), keys(QStringLiteral("ctrl+2")),
                        remember(canvasArea, canvas), drawIn(0, QStringLiteral("r")),
                        drawIn(1, QStringLiteral("o")), drawIn(2, QStringLiteral("a")),
                        drawIn(3, QStringLiteral("l")), drawIn(4, QStringLiteral("c")),
                        drawIn(5, QStringLiteral("t")), pause(300), type(QStringLiteral("Hello")),
                        keys(QStringLiteral("Escape")), drawIn(6, QStringLiteral("n")), pause(300),
                        type(QStringLiteral("Card")), keys(QStringLiteral("Escape")),
                        expectOnScreen("every tool's item shows in its own cell",
                                       [=](const Session& s, const QImage& shot) {
                                           return shapesShown(5)(s, shot) &&
                                                  changedIn(s, shot, 5) > 0.005 &&
                                                  changedIn(s, shot, 6) > 0.5;
                                       }),
                        check([](Session& s) { s.saveShot(QStringLiteral("drawn")); }),
                        // A text or a note is added, then its words are one more step.
                        keys(QStringLiteral("Escape")), keys(QStringLiteral("ctrl+z")),
                        keys(QStringLiteral("ctrl+z")),
                        expectOnScreen("two undos take the note's words and the note away",
                                       [=](const Session& s, const QImage& shot) {
                                           return changedIn(s, shot, 6) < 0.01 &&
                                                  changedIn(s, shot, 5) > 0.005;
                                       }),
                        keys(QStringLiteral("ctrl+z")), keys(QStringLiteral("ctrl+z")),
                        expectOnScreen("two more take the text away",
                                       [=](const Session& s, const QImage& shot) {
                                           return changedIn(s, shot, 5) < 0.01 &&
                                                  shapesShown(5)(s, shot);
                                       }),
                        keys(QStringLiteral("ctrl+z")),
                        expectOnScreen("undo takes the callout away", shapesShown(4)),
                        keys(QStringLiteral("ctrl+z")), keys(QStringLiteral("ctrl+z")),
                        keys(QStringLiteral("ctrl+z")), keys(QStringLiteral("ctrl+z")),
                        expectOnScreen("undo takes every shape away", shapesShown(0))}});
    }

    all.push_back(
        {"ASavedDocumentKeepsTheZoomAndPanTheUserLastSaw",
         {launchWith(pictureInFrame()),
          expectOnScreen("the document is shown fitted", pictureSitsInItsFrame),
          keys(QStringLiteral("ctrl+s")), pause(500), check([](Session& s) {
              const QString file = s.path(QStringLiteral("shots.pintora"));
              const double zoom = storedNumber(file, &CanvasState::zoom);
              EXPECT_GT(zoom, 0.1);
              EXPECT_LT(zoom, 0.9) << "the fitted zoom was not saved";
              const double panY = storedNumber(file, &CanvasState::panY);
              wheel(QPoint(640, 500), 5, 3)(s); // three notches of scrolling pan the canvas
              QTest::qWait(300);
              keys(QStringLiteral("ctrl+s"))(s);
              QElapsedTimer clock;
              clock.start();
              while (storedNumber(file, &CanvasState::panY) == panY && clock.elapsed() < 10000) {
                  QTest::qWait(100);
              }
              EXPECT_NEAR(std::abs(storedNumber(file, &CanvasState::panY) - panY), 60, 0.5);
              EXPECT_DOUBLE_EQ(storedNumber(file, &CanvasState::zoom), zoom);
          })}});

    all.push_back({"ThePresetsSidebarShowsEveryRowWholeAtTheDefaultAndTheMinimumSize",
                   {launchUntitled(), keys(QStringLiteral("ctrl+1")),
                    expectOnScreen("every row is whole at the default size", presetRowsWhole),
                    check([](Session& s) { s.saveShot(QStringLiteral("default-size")); }),
                    resizeTo(QSize(400, 300)), check([](Session& s) {
                        EXPECT_LT(s.frame().width(), 1280) << "the window did not shrink";
                    }),
                    expectOnScreen("every row is whole at the minimum size", presetRowsWhole),
                    check([](Session& s) { s.saveShot(QStringLiteral("minimum-size")); })}});

    {
        std::vector<Step> steps = {launchUntitled(), keys(QStringLiteral("ctrl+2")), pause(300),
                                   keys(QStringLiteral("r"))};
        // The colour swatch of the rectangle tool, and the space its popover opens into.
        const QPoint swatch(375, 80);
        for (Step& step :
             secondClickCloses("colour popover", swatch, QRect(swatch.x() - 120, 100, 240, 140)))
            steps.push_back(std::move(step));
        steps.push_back(keys(QStringLiteral("ctrl+1")));
        // The first preset's size, and the rows below it that its popover covers.
        for (Step& step : secondClickCloses("size popover", QPoint(1199, presetRowY[0]),
                                            QRect(1010, presetRowY[0] + 14, 260, 60)))
            steps.push_back(std::move(step));
        all.push_back({"ASecondClickOnTheColourSwatchOrAPresetSizeClosesItsPopover", steps});
    }

    all.push_back(
        {"TheCanvasDraggedOutDropsIntoTheProgramBehindAndTheWindowComesBack",
         {launchWith(pictureInFrame()),
          expectOnScreen("the document is shown", pictureSitsInItsFrame), check([](Session& s) {
              // A program that takes drops, in the middle of the screen, under the window.
              const QPoint target = s.at(QPoint(500, 400));
              QProcess peer;
              peer.start(QStringLiteral(PINTORA_DND_PEER),
                         {QStringLiteral("target"), QString::number(target.x()),
                          QString::number(target.y())});
              ASSERT_TRUE(peer.waitForStarted());
              ASSERT_TRUE(QTest::qWaitFor([&] { return peer.canReadLine(); }, 10000));
              xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), s.window()});
              QTest::qWait(500);
              s.saveShot(QStringLiteral("peer-behind"));
              // The drag-out thumbnail at the right of the annotate toolbar; a second drag
              // starts at once after the drop, while the window still fades back.
              const QPoint thumb = s.at(QPoint(s.frame().width() - 127, 79));
              QStringList args = handDrag(thumb, target + QPoint(100, 100));
              args << QStringLiteral("mousemove") << QString::number(thumb.x())
                   << QString::number(thumb.y());
              args << handDrag(thumb, s.at(QPoint(200, 600)));
              QProcess hand;
              hand.start(QStringLiteral("xdotool"), args);
              EXPECT_TRUE(
                  QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, 30000))
                  << "the program behind the window got no drop";
              const QString out = QString::fromUtf8(peer.readAll());
              EXPECT_TRUE(out.contains(QStringLiteral("png "))) << out.toStdString();
              EXPECT_TRUE(hand.waitForFinished(30000));
              peer.kill();
              peer.waitForFinished();
              EXPECT_TRUE(
                  QTest::qWaitFor([&] { return windowOpacity(s.window()) == 0xFFFFFFFFu; }, 5000))
                  << "the window stays see-through: " << windowOpacity(s.window());
          })}});

    all.push_back(
        {"WordsStillInTheEditorAreSavedAndKeptAtQuit",
         {launchWith(documentWith({})), drawIn(0, QStringLiteral("n")), pause(300),
          type(QStringLiteral("Saved words")), keys(QStringLiteral("ctrl+s")),
          check([](Session& s) {
              const QString file = s.path(QStringLiteral("shots.pintora"));
              EXPECT_TRUE(QTest::qWaitFor(
                  [&] {
                      const auto state = readDocumentFile(file, QString());
                      return state && state.value().items.size() == 1 &&
                             state.value().items[0].text() &&
                             state.value().items[0].text()->string == QLatin1String("Saved words");
                  },
                  10000))
                  << "the save left out what the editor held";
          }),
          drawIn(1, QStringLiteral("n")), pause(300), type(QStringLiteral("Important note")),
          keys(QStringLiteral("Escape")), drawIn(2, QStringLiteral("t")), pause(300),
          type(QStringLiteral("Typed to the end")), keys(QStringLiteral("ctrl+q")), expectExit(),
          check([](Session& s) {
              EXPECT_EQ(
                  textsIn(s.path(QStringLiteral("shots.pintora"))),
                  QStringList({QStringLiteral("Important note"), QStringLiteral("Saved words"),
                               QStringLiteral("Typed to the end")}));
          })}});

    all.push_back(
        {"AnUntitledDocumentsOpenEditGoesIntoItsDraftAtQuit",
         {launchUntitled(), keys(QStringLiteral("ctrl+2")), pause(300),
          drawIn(0, QStringLiteral("t")), pause(300), type(QStringLiteral("Nothing typed is lost")),
          keys(QStringLiteral("ctrl+q")), expectExit(), check([](Session& s) {
              EXPECT_EQ(textsIn(s.path(QStringLiteral("data"))),
                        QStringList({QStringLiteral("Nothing typed is lost")}));
          })}});

    {
        all.push_back(
            {"FourPresetsCapturedFullPageShowInOneRowEachInsideItsOutline",
             {check([](Session& s) {
                  // A page served here, green from edge to edge and taller than every preset.
                  s.server().page("/green",
                                  "<!doctype html><html><head><title>Green</title></head><body "
                                  "style='margin:0;background:#00aa00'><div "
                                  "style='height:1500px'></div></body></html>");
                  s.setSettings(
                      "defaultURL=" + s.server().url(QStringLiteral("/green")).toEncoded() +
                      "\ncaptureFullPage=true\ndefaultTab=capture\n");
              }),
              launchUntitled(), greenPageShown(),
              // Tablet and Mobile are off at first: their check boxes turn them on.
              click(QPoint(1020, presetRowY[2])), click(QPoint(1020, presetRowY[3])), pause(300),
              keys(QStringLiteral("ctrl+k")),
              expectOnScreen(
                  "four pictures in one row, each inside its selection outline",
                  [](const Session& s, const QImage& shot) {
                      const QRect canvas = s.frame().adjusted(0, 140, 0, 0);
                      const QList<QRect> pictures = columnRunsOf(shot, canvas, pageGreen);
                      if (pictures.size() != 4) return false;
                      for (const QRect& picture : pictures) {
                          const auto found = outlineAround(shot, picture);
                          if (std::abs(picture.center().y() - pictures[0].center().y()) > 2 ||
                              picture.height() < 100 || !found)
                              return false;
                          const QRect outline = *found;
                          const auto close = [](int a, int b) { return std::abs(a - b) <= 3; };
                          if (!close(outline.left(), picture.left()) ||
                              !close(outline.right(), picture.right()) ||
                              !close(outline.top(), picture.top()) ||
                              !close(outline.bottom(), picture.bottom()))
                              return false;
                      }
                      return true;
                  },
                  90000),
              check([](Session& s) { s.saveShot(QStringLiteral("captured")); })}});
    }

    all.push_back(
        {"APageCutAtTheHeightLimitSaysSoAboveTheCanvasOnceItsPictureIsShown",
         {check([](Session& s) {
              s.server().page("/endless", "<!doctype html><html><head><title>Endless</title>"
                                          "</head><body style='margin:0;background:#00aa00'><div "
                                          "style='height:300000px'></div></body></html>");
              s.setSettings("defaultURL=" +
                            s.server().url(QStringLiteral("/endless")).toEncoded() +
                            "\ncaptureFullPage=true\ndefaultTab=capture\n");
          }),
          launchUntitled(), greenPageShown(),
          // Laptop off: Widescreen alone, 40,000 points of it.
          click(QPoint(1020, presetRowY[1])), pause(300), keys(QStringLiteral("ctrl+k")),
          expectOnScreen(
              "the picture on the canvas under the amber notice of the cut",
              [](const Session& s, const QImage& shot) {
                  const QRect canvas = s.frame().adjusted(0, 140, 0, 0);
                  const Found band = findColour(shot, s.frame(), QColor(0xff, 0xf1, 0xc2), 3);
                  return columnRunsOf(shot, canvas, pageGreen).size() == 1 &&
                         band.count > 20000 && band.box.width() > s.frame().width() - 10;
              },
              120000),
          check([](Session& s) { s.saveShot(QStringLiteral("cut")); })}});

    all.push_back(
        {"APageWhoseAddressHoldsSpacesAndAccentsIsCapturedAndKeptEncoded",
         {check([](Session& s) {
              s.server().page("/caf%C3%A9",
                              "<!doctype html><html><head><title>Q&amp;A</title></head><body "
                              "style='margin:0;background:#00aa00'></body></html>");
              s.setSettings(
                  "defaultURL=\"" +
                  s.server().url(QStringLiteral("/caf%C3%A9?q=a%20b&p=%2F+x")).toEncoded() +
                  "\"\ndefaultTab=capture\n");
          }),
          launchUntitled(), greenPageShown(), keys(QStringLiteral("ctrl+k")),
          expectOnScreen(
              "both presets' pictures are on the canvas",
              [](const Session& s, const QImage& shot) {
                  return columnRunsOf(shot, s.frame().adjusted(0, 140, 0, 0), pageGreen).size() ==
                         2;
              },
              90000),
          check([](Session& s) { s.saveShot(QStringLiteral("captured")); }),
          keys(QStringLiteral("ctrl+q")), expectExit(), check([](Session& s) {
              QDirIterator drafts(s.path(QStringLiteral("data")), {QStringLiteral("*.pintora")},
                                  QDir::Files, QDirIterator::Subdirectories);
              ASSERT_TRUE(drafts.hasNext()) << "no draft was written at quit";
              const auto state = readDocumentFile(drafts.next(), QString());
              ASSERT_TRUE(state);
              ASSERT_EQ(state.value().tabs.size(), 1);
              EXPECT_EQ(state.value().tabs[0].url,
                        s.server()
                            .url(QStringLiteral("/caf%C3%A9?q=a%20b&p=%2F+x"))
                            .toString(QUrl::FullyEncoded));
              EXPECT_EQ(state.value().tabs[0].title, QStringLiteral("Q&A"));
          })}});

    all.push_back(
        {"TheExportedPictureIsTheCanvasAsTheCommandLineRendersIt",
         {launchWith(pictureInFrame()),
          expectOnScreen("the document is shown", pictureSitsInItsFrame),
          drawIn(0, QStringLiteral("r")), keys(QStringLiteral("Escape")),
          keys(QStringLiteral("ctrl+s")), keys(QStringLiteral("ctrl+shift+e")),
          check([](Session& s) {
              const QString dialog = s.waitForWindow(QStringLiteral("^Export$"));
              ASSERT_FALSE(dialog.isEmpty());
              QTest::qWait(500);
              s.saveShot(QStringLiteral("export-dialog"));
              const QString exported = s.path(QStringLiteral("exported.png"));
              keys(QStringLiteral("ctrl+a"))(s);
              type(exported)(s);
              keys(QStringLiteral("Return"))(s);
              ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(exported).size() > 0; }, 15000))
                  << "nothing was exported";
              const QString rendered = s.path(QStringLiteral("rendered.png"));
              QProcess cli;
              cli.start(
                  QStringLiteral(PINTORA_CLI),
                  {QStringLiteral("export"), s.path(QStringLiteral("shots.pintora")), rendered});
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

    // A red picture crossed by a blue line 8 pixels wide: a redaction over the line leaves no
    // pure blue under the box (every 12-pixel block holds some red), and the rest of the line.
    const auto lineAcrossRed = [] {
        QImage pixels(1800, 1200, QImage::Format_RGB32);
        pixels.fill(frameRed);
        QPainter(&pixels).fillRect(896, 0, 8, 1200, pictureBlue);
        ImageItem picture;
        picture.frame = QRectF(100, 100, 1800, 1200);
        picture.pngData = test::encodePng(pixels);
        return documentWith({picture});
    };
    const auto canvasOf = [](const Session& s) { return s.frame().adjusted(0, 140, 0, 0); };
    auto box = std::make_shared<QRect>(); // where the redaction is dragged, on the screen
    const auto lineRows = [canvasOf](const Session& s, const QImage& shot, int top, int bottom) {
        const QRect canvas = canvasOf(s);
        return findColour(shot, QRect(canvas.left(), top, canvas.width(), bottom - top + 1),
                          pictureBlue, 40)
            .count;
    };
    all.push_back(
        {"ARedactionDraggedOverAPictureHidesWhatIsUnderTheBoxOnlyAndUndoBringsItBack",
         {launchWith(lineAcrossRed()),
          expectOnScreen("the picture and its line are shown",
                         [canvasOf](const Session& s, const QImage& shot) {
                             return findColour(shot, canvasOf(s), pictureBlue, 40).count > 500;
                         }),
          check([canvasOf, box](Session& s) {
              const QRect line = findColour(screenshot(), canvasOf(s), pictureBlue, 40).box;
              *box = QRect(line.center().x() - 60, line.center().y() - 80, 120, 160);
              keys(QStringLiteral("x"))(s);
              drag(box->topLeft() - s.frame().topLeft(),
                   box->bottomRight() - s.frame().topLeft())(s);
          }),
          expectOnScreen("no line left under the box, all of it above and below",
                         [box, lineRows](const Session& s, const QImage& shot) {
                             return lineRows(s, shot, box->top() + 4, box->bottom() - 4) == 0 &&
                                    lineRows(s, shot, box->top() - 60, box->top() - 8) > 100 &&
                                    lineRows(s, shot, box->bottom() + 8, box->bottom() + 60) >
                                        100;
                         }),
          check([](Session& s) { s.saveShot(QStringLiteral("redacted")); }),
          keys(QStringLiteral("ctrl+s")), check([](Session& s) {
              // The line's pixels in the saved picture, once the save has written it.
              const QString file = s.path(QStringLiteral("shots.pintora"));
              int blue = -1;
              const bool saved = QTest::qWaitFor(
                  [&] {
                      const auto state = readDocumentFile(file, QString());
                      if (!state || state.value().items.size() != 1) return false;
                      const QImage picture =
                          QImage::fromData(state.value().items[0].image()->pngData, "PNG");
                      blue = findColour(picture, picture.rect(), pictureBlue, 0).count;
                      return blue < 8 * 1200;
                  },
                  expectTimeoutMs);
              EXPECT_TRUE(saved) << "the saved picture still holds the whole line";
              EXPECT_GT(blue, 0) << "the line outside the box is kept";
              EXPECT_LT(blue, 8 * 1200 - 8 * 200) << "more than the box's rows were lost";
          }),
          keys(QStringLiteral("ctrl+z")),
          expectOnScreen("undo brings the line back under the box",
                         [box, lineRows](const Session& s, const QImage& shot) {
                             return lineRows(s, shot, box->top() + 4, box->bottom() - 4) > 300;
                         })}});

    // Another program reads the X clipboard as a chat or an image editor would.
    const auto clipboardPicture = [](Session& s) {
        QImage picture;
        const bool read = QTest::qWaitFor(
            [&] {
                QProcess xclip;
                xclip.start(QStringLiteral("xclip"),
                            {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                             QStringLiteral("-t"), QStringLiteral("image/png"),
                             QStringLiteral("-o")});
                xclip.waitForFinished(10000);
                picture = QImage::fromData(xclip.readAllStandardOutput(), "PNG");
                return !picture.isNull();
            },
            expectTimeoutMs);
        EXPECT_TRUE(read) << "no picture on the clipboard";
        s.saveShot(QStringLiteral("clipboard-read"));
        return picture.convertToFormat(QImage::Format_ARGB32);
    };
    all.push_back(
        {"CopyAsPNGPutsTheExportOnTheClipboardOrOnlyTheSelectedItems",
         {launchWith(pictureInFrame()),
          expectOnScreen("the document is shown", pictureSitsInItsFrame),
          keys(QStringLiteral("ctrl+shift+c")), check([clipboardPicture](Session& s) {
              const QImage copied = clipboardPicture(s);
              const QImage exported = renderImage(pictureInFrame());
              EXPECT_EQ(copied.size(), exported.size());
              EXPECT_TRUE(copied == exported.convertToFormat(QImage::Format_ARGB32))
                  << "the clipboard's picture is not the export";
          }),
          // A new rectangle is drawn selected: only it is copied, with the export's margin.
          drawIn(0, QStringLiteral("r")), keys(QStringLiteral("ctrl+shift+c")),
          check([clipboardPicture](Session& s) {
              QImage copied;
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
          })}});

    all.push_back(
        {"WhatIsCopiedInOneWindowIsPastedInTheOther",
         {launchUntitled(), keys(QStringLiteral("ctrl+2")), drawIn(0, QStringLiteral("r")),
          keys(QStringLiteral("ctrl+c")), check([](Session& s) {
              const QString first = s.window();
              keys(QStringLiteral("ctrl+n"))(s);
              s.useWindow(QStringLiteral("Untitled"), first);
              ASSERT_NE(s.window(), first);
          }),
          keys(QStringLiteral("ctrl+2")),
          expectOnScreen(
              "the new window's canvas is empty",
              [](const Session& s, const QImage& shot) {
                  return findColour(shot, s.frame().adjusted(0, 140, 0, 0), strokeRed, 30).count ==
                         0;
              }),
          keys(QStringLiteral("ctrl+v")),
          expectOnScreen(
              "the rectangle is pasted into the window in front",
              [](const Session& s, const QImage& shot) {
                  return findColour(shot, s.frame().adjusted(0, 140, 0, 0), strokeRed, 30).count >
                         200;
              }),
          check([](Session& s) { s.saveShot(QStringLiteral("pasted")); })}});

    return all;
}

class AppScenarioTest : public ::testing::TestWithParam<Scenario> {
protected:
    // The window a running window manager names on the root window; a manager that has quit
    // leaves the name behind, so the window itself must still be there.
    static QString liveWindowManager() {
        const QString check =
            run(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        const qsizetype hash = check.indexOf(QLatin1Char('#'));
        if (!check.contains(QLatin1String("window id")) || hash < 0) return {};
        const QString id = check.mid(hash + 1).trimmed();
        QProcess info;
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        info.waitForFinished(10000);
        return info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0 ? id : QString();
    }
    // A window manager places, decorates and focuses windows as on a desktop. One that another
    // program started may go away with it at any time, so each scenario makes sure of one.
    static void ensureWindowManager() {
        if (!liveWindowManager().isEmpty()) return;
        TearDownTestSuite();
        windowManager = new QProcess;
        windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(windowManager->waitForStarted(-1));
        QElapsedTimer clock;
        clock.start();
        while (liveWindowManager().isEmpty()) {
            ASSERT_LT(clock.elapsed(), 30000) << "openbox did not start";
            QTest::qWait(100);
        }
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
    const QString shots =
        QDir::currentPath() + QStringLiteral("/e2e-shots/") + QString::fromLatin1(GetParam().name);
    QDir(shots).removeRecursively();
    QDir().mkpath(shots);
    Session session(shots);
    for (const Step& step : GetParam().steps) {
        step(session);
        if (HasFatalFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(, AppScenarioTest, ::testing::ValuesIn(scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
