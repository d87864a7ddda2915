#include "platform/linux/X11OpenWindows.h"

#include "platform/linux/X11WindowClass.h"

#include <algorithm>
#include <memory>

namespace quillo::linuxdesktop {

namespace {

std::vector<Window> clientList(Display* display, Window root) {
    const Atom property = XInternAtom(display, "_NET_CLIENT_LIST", True);
    std::vector<Window> windows;
    if (property == None) {
        return windows;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, root, property, 0, 4096, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && data != nullptr) {
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        windows.assign(ids, ids + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return windows;
}

// Without a window manager the applications' windows are the root's children themselves; with a
// reparenting one that sets no client list, their class sits one level down.
std::vector<Window> mappedTopLevels(Display* display, Window root) {
    std::vector<Window> windows;
    Window rootReturn = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        return windows;
    }
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
            windows.push_back(children[i]);
            Window r = None;
            Window p = None;
            Window* grandchildren = nullptr;
            unsigned n = 0;
            if (XQueryTree(display, children[i], &r, &p, &grandchildren, &n)) {
                windows.insert(windows.end(), grandchildren, grandchildren + n);
                if (grandchildren != nullptr) {
                    XFree(grandchildren);
                }
            }
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return windows;
}

} // namespace

std::vector<std::string> openWindowClasses() {
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    std::vector<std::string> classes;
    if (!display) {
        return classes;
    }
    const Window root = DefaultRootWindow(display.get());
    std::vector<Window> windows = clientList(display.get(), root);
    if (windows.empty()) {
        windows = mappedTopLevels(display.get(), root);
    }
    for (const Window window : windows) {
        if (auto name = windowClass(display.get(), window);
            name && std::find(classes.begin(), classes.end(), *name) == classes.end()) {
            classes.push_back(std::move(*name));
        }
    }
    return classes;
}

} // namespace quillo::linuxdesktop
