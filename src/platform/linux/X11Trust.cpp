#include "platform/linux/X11Trust.h"

#include "platform/linux/XlibHeaders.h"

#include <cstdlib>

namespace quillo::linuxdesktop {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

} // namespace

void DisplayCloser::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

X11Trust::X11Trust(bool keysThroughX) : reason_(check(nullptr, keysThroughX)) {}

std::string X11Trust::check(DisplayConnection* keepOpen, bool keysThroughX) {
    if (!isSet("DISPLAY")) {
        if (isSet("WAYLAND_DISPLAY")) {
            return "Wayland session: Quillo needs an X11 session, since Wayland lets no program "
                   "watch or type on the keyboard of others; log in with an X11 (Xorg) session.";
        }
        return "No X display: set DISPLAY to the X11 display to work on, or start Quillo in an "
               "X11 session.";
    }
    const std::string name = std::getenv("DISPLAY");
    DisplayConnection connection(XOpenDisplay(nullptr));
    Display* display = connection.get();
    if (display == nullptr) {
        return "No X display: the X display " + name +
               " (DISPLAY) cannot be opened; is the X server running, and may you use it?";
    }
    std::string reason;
    int major = 0;
    int minor = 0;
    int eventBase = 0;
    int errorBase = 0;
    if (keysThroughX && !XRecordQueryVersion(display, &major, &minor)) {
        reason = "The X display " + name +
                 " lacks the RECORD extension, which Quillo needs to watch the keyboard.";
    } else if (keysThroughX &&
               !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        reason = "The X display " + name +
                 " lacks the XTEST extension, which Quillo needs to type for you.";
    }
    if (keepOpen != nullptr) {
        *keepOpen = std::move(connection);
    }
    return reason;
}

} // namespace quillo::linuxdesktop
