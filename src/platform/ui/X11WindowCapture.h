#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <variant>

namespace pintora {

// Windows of other browsers on the X11 desktop, and pictures of them as they are on screen.
namespace windowCapture {

struct BrowserWindow {
    quint32 id;      // the X11 window
    QString appName; // "Browser" when the owner is not known
    QString title;
    bool operator==(const BrowserWindow&) const = default;
};

// Why a capture gave no picture.
struct NoAccess {};        // no X11 display to ask, or the server refused
struct NoBrowserWindow {}; // no such browser window (closed, hidden, too small)
struct CaptureFailed {
    QString detail;
};
using CaptureError = std::variant<NoAccess, NoBrowserWindow, CaptureFailed>;
using CaptureResult = std::variant<QImage, CaptureError>;

// Windows at least this large are offered.
inline constexpr int minimumSide = 200;

// The known browsers' windows that are mapped, not minimised and large enough, in the
// window manager's order; empty without a display. Waits for the server at most `timeoutMs`.
QList<BrowserWindow> listWindows(int timeoutMs = 2000);

// The window's own pixels, also where other windows cover it, without its frame; the picture's
// device pixel ratio is the screen's.
CaptureResult capture(quint32 windowId, int timeoutMs = 3000);

// The menu title of a window: its browser, then " — " and its title when it has one.
inline QString menuTitle(const BrowserWindow& window) {
    return window.title.isEmpty() ? window.appName
                                  : window.appName + QStringLiteral(" \u2014 ") + window.title;
}

} // namespace windowCapture
} // namespace pintora
