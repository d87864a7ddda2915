#include "platform/linux/X11Workspace.h"

#include "platform/linux/ApplicationAliases.h"
#include "platform/linux/DesktopEntries.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11OpenWindows.h"
#include "platform/linux/X11WindowClass.h"
#include "platform/linux/XdgPaths.h"
#include "platform/linux/XlibHeaders.h"

#include <QDesktopServices>
#include <QGuiApplication>
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

// Whether `window` is `ancestor` or lies inside it.
bool isInside(Display* display, Window window, Window ancestor, Window root) {
    for (Window current = window; current != None && current != root;) {
        if (current == ancestor) {
            return true;
        }
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, current, &rootReturn, &parent, &children, &count)) {
            return false;
        }
        if (children != nullptr) {
            XFree(children);
        }
        current = parent;
    }
    return false;
}

// The window manager names `window` active (when there is one that names any) and the keys go
// to it.
bool hasFocus(Display* display, Window window) {
    X11ErrorTrap trap(display);
    const Window root = DefaultRootWindow(display);
    const std::optional<Window> active = activeWindow(display, root);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const bool focused = (!active || *active == window) && focus != None && focus != PointerRoot &&
                         isInside(display, focus, window, root);
    return trap.sync() == Success && focused;
}

bool hasWindowManager(Display* display) {
    return oneValue(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
        .has_value();
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

X11Workspace::X11Workspace(Display* display, ApplicationAliases& aliases, FrontApplication front)
    : display_(display), aliases_(aliases), inputMethodFront_(std::move(front)),
      waits_(std::make_unique<QObject>()) {}

X11Workspace::~X11Workspace() {
    if (clockWindow_ != None) {
        XDestroyWindow(display_, clockWindow_);
    }
}

std::optional<std::string> X11Workspace::frontmostApplicationId() const {
    if (inputMethodFront_) {
        if (auto id = inputMethodFront_()) {
            return id;
        }
    }
    return focusedWindowClass(display_);
}

std::vector<std::string> X11Workspace::frontmostApplicationNames() const {
    const auto id = frontmostApplicationId();
    if (!id || id->empty()) {
        return {};
    }
    return aliases_.namesOf(*id);
}

bool X11Workspace::ownWindowHasFocus() const {
    // In a Wayland session the window manager may go on naming one of Quillo's windows active
    // while a Wayland program has the keyboard (mutter does), but the X input focus has left
    // Quillo's windows, and Qt, which follows it, then has no focus window.
    if (inputMethodFront_ && QGuiApplication::focusWindow() == nullptr) {
        return false;
    }
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

std::optional<platform::WindowId> X11Workspace::focusedWindow() const {
    return frontWindow(display_);
}

bool X11Workspace::isOwnWindow(platform::WindowId window) const {
    return windowProcess(display_, static_cast<Window>(window)) == static_cast<long>(::getpid());
}

Time X11Workspace::serverTime() {
    const Atom property = XInternAtom(display_, "_QUILLO_TIME", False);
    if (clockWindow_ == None) {
        XSetWindowAttributes attributes{};
        attributes.event_mask = PropertyChangeMask;
        attributes.override_redirect = True;
        clockWindow_ =
            XCreateWindow(display_, DefaultRootWindow(display_), -1, -1, 1, 1, 0, 0, InputOnly,
                          CopyFromParent, CWEventMask | CWOverrideRedirect, &attributes);
    }
    // Appending nothing changes nothing but still tells the time; the answer is one round trip
    // away, and events read meanwhile stay queued for the connection's listeners.
    XChangeProperty(display_, clockWindow_, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XIfEvent(
        display_, &event,
        [](Display*, XEvent* e, XPointer arg) -> Bool {
            return e->type == PropertyNotify &&
                   e->xproperty.window == *reinterpret_cast<Window*>(arg);
        },
        reinterpret_cast<XPointer>(&clockWindow_));
    return event.xproperty.time;
}

void X11Workspace::requestFocus(Window window) {
    X11ErrorTrap trap(display_);
    if (hasWindowManager(display_)) {
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = window;
        message.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        message.xclient.format = 32;
        message.xclient.data.l[0] = 2; // a pager's request: the user asked for it
        message.xclient.data.l[1] = static_cast<long>(serverTime());
        XSendEvent(display_, DefaultRootWindow(display_), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &message);
    } else {
        XRaiseWindow(display_, window);
        XSetInputFocus(display_, window, RevertToParent, serverTime());
    }
    trap.sync();
}

void X11Workspace::focusWindow(platform::WindowId id, std::chrono::milliseconds limit,
                               std::function<void(bool)> done) {
    const auto window = static_cast<Window>(id);
    requestFocus(window);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto* poll = new QTimer(waits_.get());
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll,
                     [this, poll, window, deadline, done, ticks = 0]() mutable {
                         const bool focused = hasFocus(display_, window);
                         if (focused || std::chrono::steady_clock::now() >= deadline) {
                             poll->deleteLater();
                             poll->stop();
                             done(focused);
                         } else if (++ticks % 10 == 0) {
                             // A window that was not mapped yet, or not yet managed by the
                             // window manager, when it was asked for missed the request.
                             requestFocus(window);
                         }
                     });
    poll->start();
}

} // namespace quillo::linuxdesktop
