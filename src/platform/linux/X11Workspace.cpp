#include "platform/linux/X11Workspace.h"

#include "platform/linux/DesktopEntries.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11OpenWindows.h"
#include "platform/linux/X11WindowClass.h"
#include "platform/linux/XdgPaths.h"
#include "platform/linux/XlibHeaders.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <deque>
#include <unistd.h>

namespace quillo::linuxdesktop {

namespace {

// Deep enough for a reparenting window manager's frames, shallow enough to stay cheap.
constexpr int maxSearchDepth = 3;

// A window property of one 32-bit value of the given type; none when it is absent or zero.
std::optional<unsigned long> oneValue(Display* display, Window window, const char* name,
                                      Atom expected) {
    const Atom property = XInternAtom(display, name, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(display, window, property, 0, 1, False, expected, &type, &format, &count,
                           &after, &data) == Success &&
        type == expected && format == 32 && count == 1 && data != nullptr) {
        // Xlib hands 32-bit values over as longs.
        if (const unsigned long read = *reinterpret_cast<const unsigned long*>(data); read != 0) {
            value = read;
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

std::optional<Window> activeWindow(Display* display, Window root) {
    return oneValue(display, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
}

std::optional<Window> focusWindow(Display* display, Window root) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus != None && focus != PointerRoot && focus != root) {
        return focus;
    }
    // The keyboard follows the pointer: the top-level window under it has the keys.
    Window rootReturn = None;
    Window child = None;
    int x = 0;
    int y = 0;
    int wx = 0;
    int wy = 0;
    unsigned mask = 0;
    if (XQueryPointer(display, root, &rootReturn, &child, &x, &y, &wx, &wy, &mask) &&
        child != None) {
        return child;
    }
    return std::nullopt;
}

// The first answer of `lookup` on the window, on the windows above it up to the root (a focused
// child window of an application), or on those below its top level (a window manager's frame
// around the application's window).
template <typename Lookup>
auto upOrDown(Display* display, Window window, Window root, Lookup lookup)
    -> decltype(lookup(window)) {
    Window topLevel = window;
    for (Window current = window; current != None && current != root;) {
        if (auto found = lookup(current)) {
            return found;
        }
        topLevel = current;
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, current, &rootReturn, &parent, &children, &count)) {
            break;
        }
        if (children != nullptr) {
            XFree(children);
        }
        current = parent;
    }
    std::deque<std::pair<Window, int>> queue = {{topLevel, 0}};
    while (!queue.empty()) {
        const auto [current, depth] = queue.front();
        queue.pop_front();
        if (current != topLevel) {
            if (auto found = lookup(current)) {
                return found;
            }
        }
        if (depth == maxSearchDepth) {
            continue;
        }
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, current, &rootReturn, &parent, &children, &count) &&
            children != nullptr) {
            for (unsigned i = 0; i < count; ++i) {
                queue.emplace_back(children[i], depth + 1);
            }
            XFree(children);
        }
    }
    return std::nullopt;
}

std::optional<long> processOf(Display* display, Window window) {
    const auto value = oneValue(display, window, "_NET_WM_PID", XA_CARDINAL);
    if (!value || static_cast<long>(*value) <= 0) {
        return std::nullopt;
    }
    return static_cast<long>(*value);
}

} // namespace

std::optional<Window> frontWindow(Display* display) {
    // Requests about the root alone, which cannot fail: no error trap, and no round trip for one.
    const Window root = DefaultRootWindow(display);
    std::optional<Window> window = activeWindow(display, root);
    if (!window) {
        window = focusWindow(display, root);
    }
    return window;
}

std::optional<std::string> focusedWindowClass(Display* display) {
    // Windows come and go between the requests; a vanished one just means "none".
    X11ErrorTrap trap(display);
    std::optional<std::string> result;
    if (const std::optional<Window> window = frontWindow(display)) {
        result = upOrDown(display, *window, DefaultRootWindow(display),
                          [display](Window w) { return windowClass(display, w); });
    }
    trap.sync();
    return result;
}

std::optional<long> windowProcess(Display* display, Window window) {
    X11ErrorTrap trap(display);
    auto result = upOrDown(display, window, DefaultRootWindow(display),
                           [display](Window w) { return processOf(display, w); });
    return trap.sync() == Success ? result : std::nullopt;
}

std::optional<std::string> X11Workspace::frontmostApplicationId() const {
    return focusedWindowClass(display_);
}

bool X11Workspace::ownWindowHasFocus() const {
    const std::optional<Window> front = frontWindow(display_);
    return front && windowProcess(display_, *front) == static_cast<long>(::getpid());
}

void X11Workspace::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::vector<platform::Application> X11Workspace::applications() const {
    return linuxdesktop::withOpenApplications(
        linuxdesktop::installedApplications(linuxdesktop::applicationFolders()),
        openWindowClasses());
}

} // namespace quillo::linuxdesktop
