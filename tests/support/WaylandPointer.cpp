// A pointer for tests on a headless Wayland compositor, which has no input devices of its own:
// one virtual pointer (wlroots' zwlr_virtual_pointer_v1) that lives as long as this program, so
// the seat offers clients a pointer, driven by lines on standard input:
//   move X Y     the pointer to output pixel (X, Y)
//   down / up    the left button
//   scroll N     N notches of the wheel, down
// Each line is answered "ok" once the compositor has taken it.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The protocol's two interfaces, as its XML defines them (only the requests used here and
// those before them, whose numbers they depend on).
extern const wl_interface virtualPointerInterface;
const wl_interface* createTypes[] = {&wl_seat_interface, &virtualPointerInterface};
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", createTypes},
    {"destroy", "", noTypes},
};
const wl_interface managerInterface = {"zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests,
                                       0, nullptr};
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},        {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},        {"axis", "uuf", noTypes},
    {"frame", "", noTypes},            {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes},      {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface virtualPointerInterface = {"zwlr_virtual_pointer_v1", 1, 9, pointerRequests,
                                              0, nullptr};
enum { motionAbsolute = 1, button = 2, frame = 4, axisSource = 5, axisDiscrete = 7 };
constexpr uint32_t leftButton = 0x110; // BTN_LEFT

wl_seat* seat = nullptr;
wl_proxy* manager = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, managerInterface.name) == 0)
        manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &managerInterface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {global, globalRemove};

uint32_t now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint32_t(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wayland_pointer WIDTH HEIGHT (of the output)\n");
        return 2;
    }
    const uint32_t width = std::stoul(argv[1]), height = std::stoul(argv[2]);
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wayland_pointer: no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!seat || !manager) {
        std::fprintf(stderr, "wayland_pointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    auto* pointer = wl_proxy_marshal_flags(manager, 0, &virtualPointerInterface, 1, 0, seat,
                                           nullptr);
    wl_display_roundtrip(display);
    std::cout << "ok" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "move") {
            uint32_t x = 0, y = 0;
            words >> x >> y;
            wl_proxy_marshal_flags(pointer, motionAbsolute, nullptr, 1, 0, now(), x, y, width,
                                   height);
        } else if (verb == "down" || verb == "up") {
            wl_proxy_marshal_flags(pointer, button, nullptr, 1, 0, now(), leftButton,
                                   verb == "down" ? 1u : 0u);
        } else if (verb == "scroll") {
            int notches = 0;
            words >> notches;
            wl_proxy_marshal_flags(pointer, axisSource, nullptr, 1, 0, 0u); // a wheel
            // A notch moves 15 units of the vertical axis, as a mouse wheel's does.
            wl_proxy_marshal_flags(pointer, axisDiscrete, nullptr, 1, 0, now(), 0u,
                                   wl_fixed_from_int(15 * notches), notches);
        } else {
            std::cout << "unknown: " << line << std::endl;
            continue;
        }
        wl_proxy_marshal_flags(pointer, frame, nullptr, 1, 0);
        wl_display_roundtrip(display);
        std::cout << "ok" << std::endl;
    }
    wl_display_disconnect(display);
    return 0;
}
