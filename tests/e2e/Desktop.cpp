#include "e2e/Desktop.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <functional>
#include <memory>

namespace pintora::test {

bool waitFor(const std::function<bool()>& holds, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!holds()) {
        if (clock.elapsed() > ms) return false;
        QTest::qWait(100);
    }
    return true;
}

QByteArray output(const QString& program, const QStringList& arguments, int ms) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(ms) ? process.readAllStandardOutput() : QByteArray();
}

QStringList xy(QPoint p) {
    return {QString::number(p.x()), QString::number(p.y())};
}

namespace {

QString run(const QString& program, const QStringList& arguments) {
    return QString::fromUtf8(output(program, arguments)).trimmed();
}
// The program that serves what the tests put on the clipboard, in the foreground, until the
// next copy or the end of the run.
std::unique_ptr<QProcess>& copier() {
    static std::unique_ptr<QProcess> serving;
    return serving;
}
void stopServing() {
    if (!copier()) return;
    copier()->kill();
    copier()->waitForFinished(5000);
    copier().reset();
}
void serve(const QString& program, const QStringList& arguments, const QString& file) {
    stopServing();
    copier() = std::make_unique<QProcess>();
    copier()->setStandardInputFile(file);
    copier()->start(program, arguments);
    copier()->waitForStarted();
}

// Xvfb with openbox: xdotool sends input through XTEST, xwininfo and xprop read windows.
class X11Desktop final : public Desktop {
public:
    ~X11Desktop() override { stopWindowManager(); }
    bool wayland() const override { return false; }

    // A window manager that another program started may go away with it at any time.
    bool prepare() override {
        if (windowManagerRuns()) return true;
        stopWindowManager();
        windowManager_ = std::make_unique<QProcess>();
        windowManager_->start("openbox", {"--sm-disable"});
        return waitFor([this] { return windowManagerRuns(); }, 30000);
    }

    QImage screenshot() override {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    }
    QStringList windows(qint64 pid, const QString& title) override {
        QStringList found;
        const QRegularExpression wanted(title);
        for (const QString& id :
             run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)})
                 .split('\n', Qt::SkipEmptyParts))
            if (run("xdotool", {"getwindowname", id}).contains(wanted)) found.append(id);
        return found;
    }
    // xwininfo, unlike xdotool, gives the true position inside the window manager's frame.
    QRect geometry(const QString& window) override {
        QMap<QString, int> values;
        for (const QString& line : run("xwininfo", {"-id", window}).split('\n')) {
            const auto parts = line.split(':');
            if (parts.size() == 2) values[parts[0].trimmed()] = parts[1].trimmed().toInt();
        }
        return QRect(values.value("Absolute upper-left X"), values.value("Absolute upper-left Y"),
                     values.value("Width"), values.value("Height"));
    }
    void activate(const QString& window) override { xdotool({"windowactivate", "--sync", window}); }
    void resize(const QString& window, QSize size) override {
        xdotool(
            {"windowsize", window, QString::number(size.width()), QString::number(size.height())});
    }
    void place(const QString& window, QPoint at) override {
        xdotool(QStringList{"windowmove", window} + xy(at));
    }

    void key(const QString& sequence) override { xdotool({"key", "--clearmodifiers", sequence}); }
    void type(const QString& text) override { xdotool({"type", "--delay", "40", text}); }
    void move(QPoint at) override { xdotool(QStringList{"mousemove"} + xy(at)); }
    void button(bool down) override { xdotool({down ? "mousedown" : "mouseup", "1"}); }
    void scroll(int notches) override {
        xdotool({"click", "--repeat", QString::number(notches), "--delay", "30", "5"});
    }

    QByteArray clipboard(const QString& type) override {
        return output("xclip", {"-selection", "clipboard", "-t", type, "-o"}, 10000);
    }
    void copy(const QString& type, const QString& file) override {
        serve("xclip", {"-quiet", "-selection", "clipboard", "-t", type, "-i"}, file);
    }

private:
    static void xdotool(const QStringList& arguments) { output("xdotool", arguments); }
    // A manager that has quit leaves its window's name on the root window behind, so the
    // window itself must still be there.
    static bool windowManagerRuns() {
        const QString check = run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
        return check.contains("window id") &&
               run("xwininfo", {"-id", check.section('#', 1).trimmed()}).contains("Width");
    }
    void stopWindowManager() {
        if (!windowManager_) return;
        windowManager_->terminate();
        windowManager_->waitForFinished(5000);
        windowManager_.reset();
    }
    std::unique_ptr<QProcess> windowManager_;
};

// The session's sway: its tree names the windows, wtype types, grim takes the screen. A headless
// compositor has no mouse: a virtual pointer of our own (PINTORA_WAYLAND_POINTER) is one.
class WaylandDesktop final : public Desktop {
public:
    WaylandDesktop() {
        const QJsonObject output =
            QJsonDocument::fromJson(test::output("swaymsg", {"-r", "-t", "get_outputs"}))
                .array()
                .first()
                .toObject()
                .value("rect")
                .toObject();
        pointer_.start(qEnvironmentVariable("PINTORA_WAYLAND_POINTER"),
                       {QString::number(output.value("width").toInt()),
                        QString::number(output.value("height").toInt())});
        answered();
    }
    ~WaylandDesktop() override {
        pointer_.closeWriteChannel();
        if (!pointer_.waitForFinished(5000)) pointer_.kill();
    }
    bool wayland() const override { return true; }

    QImage screenshot() override {
        return QImage::fromData(test::output("grim", {"-t", "ppm", "-"}), "PPM");
    }
    QStringList windows(qint64 pid, const QString& title) override {
        QStringList found;
        const QRegularExpression wanted(title);
        for (const QJsonObject& node : tree())
            if (node.value("pid").toInteger() == pid && node.value("visible").toBool() &&
                node.value("name").toString().contains(wanted))
                found.append(QString::number(node.value("id").toInteger()));
        return found;
    }
    QRect geometry(const QString& window) override {
        for (const QJsonObject& node : tree()) {
            if (QString::number(node.value("id").toInteger()) != window) continue;
            const QJsonObject outer = node.value("rect").toObject();
            const QJsonObject inner = node.value("window_rect").toObject();
            return QRect(outer.value("x").toInt() + inner.value("x").toInt(),
                         outer.value("y").toInt() + inner.value("y").toInt(),
                         inner.value("width").toInt(), inner.value("height").toInt());
        }
        return {};
    }
    void activate(const QString& window) override { sway("[con_id=" + window + "] focus"); }
    void resize(const QString& window, QSize size) override {
        sway(QString("[con_id=%1] resize set %2 %3")
                 .arg(window)
                 .arg(size.width())
                 .arg(size.height()));
    }
    void place(const QString& window, QPoint at) override {
        sway(QString("[con_id=%1] move position %2 %3").arg(window).arg(at.x()).arg(at.y()));
    }

    // Each run of wtype is a keyboard of its own, with the keys it needs.
    void key(const QString& sequence) override {
        QStringList parts = sequence.split('+'), press, release;
        const QString key = parts.takeLast();
        for (const QString& modifier : parts) {
            press += {"-M", modifier};
            release += {"-m", modifier};
        }
        output("wtype", press + QStringList{"-k", key} + release);
        QTest::qWait(50);
    }
    void type(const QString& text) override { output("wtype", {"-d", "40", text}); }
    void move(QPoint at) override { point(QString("move %1 %2").arg(at.x()).arg(at.y())); }
    void button(bool down) override { point(down ? "down" : "up"); }
    void scroll(int notches) override { point("scroll " + QString::number(notches)); }

    QByteArray clipboard(const QString& type) override {
        return output("wl-paste", {"-n", "-t", type}, 10000);
    }
    void copy(const QString& type, const QString& file) override {
        serve("wl-copy", {"--foreground", "-t", type}, file);
    }

private:
    static void sway(const QString& command) { output("swaymsg", {command}); }
    // Every window in the tree, tiled or floating.
    static QList<QJsonObject> tree() {
        QList<QJsonObject> nodes;
        const std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& node) {
            if (node.contains("pid")) nodes.append(node);
            for (const char* children : {"nodes", "floating_nodes"})
                for (const QJsonValue& child : node.value(children).toArray())
                    walk(child.toObject());
        };
        walk(QJsonDocument::fromJson(output("swaymsg", {"-r", "-t", "get_tree"})).object());
        return nodes;
    }
    void point(const QString& command) {
        pointer_.write(command.toUtf8() + '\n');
        answered();
        QTest::qWait(10);
    }
    // The pointer answers each line once the compositor has taken it.
    void answered() {
        while (!pointer_.canReadLine())
            if (!pointer_.waitForReadyRead(5000)) return;
        pointer_.readLine();
    }
    QProcess pointer_;
};

std::unique_ptr<Desktop>& desktop() {
    static std::unique_ptr<Desktop> made;
    return made;
}

} // namespace

Desktop& Desktop::current() {
    if (!desktop()) {
        if (qEnvironmentVariable("PINTORA_E2E_DESKTOP") == "wayland")
            desktop() = std::make_unique<WaylandDesktop>();
        else
            desktop() = std::make_unique<X11Desktop>();
    }
    return *desktop();
}
void Desktop::close() {
    stopServing();
    desktop().reset();
}

} // namespace pintora::test
