// The desktop the end-to-end scenarios run on, as a user meets it: its windows, keyboard,
// pointer, screen and clipboard. Either X11 (the test's X server with openbox; xdotool, xwininfo,
// xclip) or Wayland (the session's sway; wtype, a virtual pointer, grim, wl-clipboard), as
// PINTORA_E2E_DESKTOP says ("wayland"; X11 when unset).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

namespace pintora::test {

class Desktop {
public:
    virtual ~Desktop() = default;
    // The desktop of this test program, made on first use.
    static Desktop& current();
    // Ends what it started (the window manager, the pointer), while the application still runs.
    static void close();

    virtual bool wayland() const = 0;
    // The Qt platform the programs started on it use.
    QString platform() const { return wayland() ? "wayland" : "xcb"; }
    // Makes sure windows are managed, placed and focused as on a user's desktop.
    virtual bool prepare() { return true; }

    virtual QImage screenshot() = 0;
    // The shown windows of process `pid` whose title matches the regular expression `title`.
    virtual QStringList windows(qint64 pid, const QString& title) = 0;
    // A window's client area on the screen.
    virtual QRect geometry(const QString& window) = 0;
    // Brings the window to the front, with the keyboard.
    virtual void activate(const QString& window) = 0;
    virtual void resize(const QString& window, QSize size) = 0;
    // Moves the window's top-left corner to a point of the screen.
    virtual void place(const QString& window, QPoint at) = 0;

    // One press of a key with its modifiers, named as X names keys ("ctrl+shift+e", "Return").
    virtual void key(const QString& sequence) = 0;
    virtual void type(const QString& text) = 0;
    // The pointer to a point of the screen, the left button, notches of the wheel (down).
    virtual void move(QPoint at) = 0;
    virtual void button(bool down) = 0;
    virtual void scroll(int notches) = 0;

    // What another program reads from the clipboard as `type`, and a file another program puts
    // on it.
    virtual QByteArray clipboard(const QString& type) = 0;
    virtual void copy(const QString& type, const QString& file) = 0;
};

// Tries `holds` every tenth of a second until it is true or `ms` have passed.
bool waitFor(const std::function<bool()>& holds, int ms);
// A point as the two arguments a command line takes.
QStringList xy(QPoint p);
// A program's standard output; nothing if it runs past `ms` (it is then killed).
QByteArray output(const QString& program, const QStringList& arguments, int ms = 30000);

} // namespace pintora::test
