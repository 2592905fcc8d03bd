#include "platform/ui/X11WindowCapture.h"

#include "capture/OtherBrowsers.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <xcb/composite.h>
#include <xcb/xcb.h>

namespace pintora::windowCapture {

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> own(T* reply) {
    return Reply<T>(reply, &std::free);
}

class Connection {
public:
    Connection() : c_(xcb_connect(nullptr, nullptr)) {}
    ~Connection() { xcb_disconnect(c_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return c_ && !xcb_connection_has_error(c_); }
    xcb_connection_t* get() const { return c_; }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root; }

    xcb_atom_t atom(const char* name) const {
        auto reply = own(xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, uint16_t(strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    QByteArray property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const {
        auto reply = own(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, property, type, 0, 1 << 16), nullptr));
        if (!reply) return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

private:
    xcb_connection_t* c_;
};

// One connection for the life of the process: a window redirected off screen stays so only
// while the connection that asked lives, and a newly redirected window needs a moment to
// repaint the parts other windows covered.
struct Session {
    std::mutex lock;
    std::unique_ptr<Connection> x;
    QSet<xcb_window_t> redirected;

    static Session& shared() {
        static Session session;
        return session;
    }
    // The connection, made anew when it broke (the server restarted).
    Connection* connection() {
        if (!x || !x->ok()) {
            x = std::make_unique<Connection>();
            redirected.clear();
        }
        return x->ok() ? x.get() : nullptr;
    }
};

struct Candidate {
    BrowserWindow window;
    int width = 0;
    int height = 0;
};

// The client windows of the window manager's list that belong to known browsers.
QList<Candidate> browserWindows(const Connection& x) {
    const xcb_atom_t clientList = x.atom("_NET_CLIENT_LIST");
    const xcb_atom_t utf8 = x.atom("UTF8_STRING");
    const xcb_atom_t netName = x.atom("_NET_WM_NAME");
    const xcb_atom_t state = x.atom("_NET_WM_STATE");
    const xcb_atom_t hidden = x.atom("_NET_WM_STATE_HIDDEN");
    const QByteArray list = x.property(x.root(), clientList, XCB_ATOM_WINDOW);
    QList<Candidate> found;
    const auto* ids = reinterpret_cast<const xcb_window_t*>(list.constData());
    for (qsizetype i = 0; i < list.size() / qsizetype(sizeof(xcb_window_t)); ++i) {
        const xcb_window_t id = ids[i];
        const QList<QByteArray> classes =
            x.property(id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).split('\0');
        std::optional<qsizetype> browser;
        for (const QByteArray& name : classes) {
            if (!browser && !name.isEmpty())
                browser = browserForWindowClass(QString::fromLatin1(name));
        }
        if (!browser) continue;
        const QByteArray states = x.property(id, state, XCB_ATOM_ATOM);
        const auto* atoms = reinterpret_cast<const xcb_atom_t*>(states.constData());
        bool minimised = false;
        for (qsizetype s = 0; s < states.size() / qsizetype(sizeof(xcb_atom_t)); ++s) {
            minimised = minimised || atoms[s] == hidden;
        }
        auto attributes = own(xcb_get_window_attributes_reply(
            x.get(), xcb_get_window_attributes(x.get(), id), nullptr));
        auto geometry =
            own(xcb_get_geometry_reply(x.get(), xcb_get_geometry(x.get(), id), nullptr));
        if (minimised || !attributes || !geometry ||
            attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
            continue;
        }
        QByteArray title = x.property(id, netName, utf8);
        if (title.isEmpty()) title = x.property(id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        found.append({{id, knownBrowsers()[*browser].appName, QString::fromUtf8(title)},
                      geometry->width,
                      geometry->height});
    }
    return found;
}

// The window that holds `window` directly under the root: the manager's frame, or itself.
xcb_window_t topLevel(const Connection& x, xcb_window_t window) {
    xcb_window_t current = window;
    for (int depth = 0; depth < 16; ++depth) {
        auto tree = own(xcb_query_tree_reply(x.get(), xcb_query_tree(x.get(), current), nullptr));
        if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) return current;
        current = tree->parent;
    }
    return current;
}

bool hasComposite(const Connection& x) {
    auto version = own(xcb_composite_query_version_reply(
        x.get(), xcb_composite_query_version(x.get(), 0, 4), nullptr));
    return version != nullptr;
}

// Keeps the frame's pixels off screen from now on; true when it was not so before.
bool redirect(Session& session, xcb_window_t frame) {
    if (session.redirected.contains(frame)) return false;
    xcb_composite_redirect_window(session.x->get(), frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(session.x->get());
    session.redirected.insert(frame);
    return true;
}

CaptureResult grab(Session& session, quint32 id) {
    const Connection& x = *session.x;
    const QList<Candidate> windows = browserWindows(x);
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [id](const Candidate& c) { return c.window.id == id; });
    if (it == windows.end() || it->width < minimumSide || it->height < minimumSide) {
        return CaptureError(NoBrowserWindow{});
    }
    // The frame's own pixels, kept off screen by the server, so covering windows do not
    // show; then the client's part of them.
    const xcb_window_t frame = topLevel(x, id);
    xcb_drawable_t source = id;
    int left = 0, top = 0;
    xcb_pixmap_t pixmap = XCB_NONE;
    if (hasComposite(x)) {
        // Covered parts are painted into a new off-screen copy only when the browser redraws.
        if (redirect(session, frame)) std::this_thread::sleep_for(std::chrono::milliseconds(400));
        pixmap = xcb_generate_id(x.get());
        xcb_composite_name_window_pixmap(x.get(), frame, pixmap);
        auto offset = own(xcb_translate_coordinates_reply(
            x.get(), xcb_translate_coordinates(x.get(), id, frame, 0, 0), nullptr));
        if (offset) {
            source = pixmap;
            left = offset->dst_x;
            top = offset->dst_y;
        }
    }
    xcb_generic_error_t* error = nullptr;
    auto image = own(xcb_get_image_reply(
        x.get(),
        xcb_get_image(x.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, source, int16_t(left), int16_t(top),
                      uint16_t(it->width), uint16_t(it->height), ~0u),
        &error));
    if (pixmap != XCB_NONE) {
        xcb_free_pixmap(x.get(), pixmap);
        xcb_flush(x.get());
    }
    if (!image) {
        const QString detail = error ? QStringLiteral("X11 error %1").arg(error->error_code)
                                     : QStringLiteral("no answer");
        std::free(error);
        return CaptureError(CaptureFailed{detail});
    }
    const int bytes = xcb_get_image_data_length(image.get());
    if (image->depth < 24 || bytes < it->width * it->height * 4) {
        return CaptureError(
            CaptureFailed{QStringLiteral("unsupported pixel depth %1").arg(image->depth)});
    }
    QImage picture(xcb_get_image_data(image.get()), it->width, it->height, it->width * 4,
                   QImage::Format_RGB32);
    return CaptureResult(picture.copy()); // the reply's memory goes with it
}

// Runs `work` on its own thread with its own connection, waiting at most `timeoutMs`: a
// server that does not answer must not freeze the window.
template <typename Result, typename Work>
std::optional<Result> withDeadline(int timeoutMs, Work work) {
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
    std::future<Result> result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) {
        return std::nullopt;
    }
    return result.get();
}

} // namespace

QList<BrowserWindow> listWindows(int timeoutMs) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return {};
    const auto windows = withDeadline<QList<BrowserWindow>>(timeoutMs, [] {
        QList<BrowserWindow> result;
        Session& session = Session::shared();
        std::lock_guard guard(session.lock);
        Connection* x = session.connection();
        if (!x) return result;
        const bool composite = hasComposite(*x);
        for (const Candidate& c : browserWindows(*x)) {
            if (c.width < minimumSide || c.height < minimumSide) continue;
            result.append(c.window);
            // Listed windows start keeping their own pixels, ready for a capture.
            if (composite) redirect(session, topLevel(*x, c.window.id));
        }
        return result;
    });
    return windows.value_or(QList<BrowserWindow>());
}

CaptureResult capture(quint32 windowId, int timeoutMs) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return CaptureError(NoAccess{});
    const auto result = withDeadline<CaptureResult>(timeoutMs, [windowId] {
        Session& session = Session::shared();
        std::lock_guard guard(session.lock);
        if (!session.connection()) return CaptureResult(CaptureError(NoAccess{}));
        return grab(session, windowId);
    });
    if (!result) {
        return CaptureError(CaptureFailed{QStringLiteral("the X server did not answer in time")});
    }
    CaptureResult picture = *result;
    if (auto* image = std::get_if<QImage>(&picture)) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            image->setDevicePixelRatio(screen->devicePixelRatio());
        }
    }
    return picture;
}

} // namespace pintora::windowCapture
