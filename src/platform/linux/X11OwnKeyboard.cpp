#include "platform/linux/X11OwnKeyboard.h"

#include "platform/linux/X11Connection.h"

#include <array>
#include <string>

namespace quillo::linuxdesktop {

namespace {

struct Ids {
    int keyboard = -1;
    int pointer = -1;
    int xtestKeyboard = -1;
    bool complete() const { return keyboard >= 0 && pointer >= 0 && xtestKeyboard >= 0; }
};

Ids findOwn(Display* display) {
    const std::string prefix = X11OwnKeyboard::name;
    Ids ids;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        const std::string deviceName = devices[i].name;
        if (devices[i].use == XIMasterKeyboard && deviceName == prefix + " keyboard") {
            ids.keyboard = devices[i].deviceid;
            ids.pointer = devices[i].attachment;
        } else if (devices[i].use == XISlaveKeyboard && deviceName == prefix + " XTEST keyboard") {
            ids.xtestKeyboard = devices[i].deviceid;
        }
    }
    XIFreeDeviceInfo(devices);
    return ids;
}

// The master keyboard the user types on: the server's own, the first one.
int desktopKeyboard(Display* display) {
    int keyboard = XIAllMasterDevices;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllMasterDevices, &count);
    for (int i = 0; i < count && keyboard == XIAllMasterDevices; ++i) {
        if (devices[i].use == XIMasterKeyboard) {
            keyboard = devices[i].deviceid;
        }
    }
    XIFreeDeviceInfo(devices);
    return keyboard;
}

} // namespace

std::unique_ptr<X11OwnKeyboard> X11OwnKeyboard::create(Display* display) {
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
        return nullptr;
    }
    X11ErrorTrap trap(display);
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || trap.sync() != Success) {
        return nullptr;
    }
    Ids ids = findOwn(display);
    if (!ids.complete()) {
        XIAddMasterInfo add{};
        add.type = XIAddMaster;
        add.name = const_cast<char*>(name);
        add.send_core = True;
        add.enable = True;
        XIChangeHierarchy(display, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&add), 1);
        if (trap.sync() != Success) {
            return nullptr;
        }
        ids = findOwn(display);
        if (!ids.complete()) {
            return nullptr;
        }
    }
    std::unique_ptr<X11OwnKeyboard> own(
        new X11OwnKeyboard(display, ids.keyboard, ids.pointer, ids.xtestKeyboard));
    own->hidePointer();
    // Its keys are pressed and let go by this program: none may repeat while it looks away.
    XkbChangeEnabledControls(display, static_cast<unsigned>(ids.keyboard), XkbRepeatKeysMask, 0);
    XFlush(display);
    return own;
}

X11OwnKeyboard::X11OwnKeyboard(Display* display, int keyboard, int pointer, int xtestKeyboard)
    : display_(display), keyboard_(keyboard), pointer_(pointer), xtestKeyboard_(xtestKeyboard),
      desktopKeyboard_(desktopKeyboard(display)) {}

X11OwnKeyboard::~X11OwnKeyboard() {
    X11ErrorTrap trap(display_);
    XIUngrabDevice(display_, pointer_, CurrentTime);
    XIRemoveMasterInfo remove{};
    remove.type = XIRemoveMaster;
    remove.deviceid = keyboard_;
    remove.return_mode = XIFloating;
    XIChangeHierarchy(display_, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&remove), 1);
    if (invisible_ != 0) {
        XFreeCursor(display_, invisible_);
    }
    trap.sync();
}

void X11OwnKeyboard::hidePointer() {
    X11ErrorTrap trap(display_);
    const Window root = DefaultRootWindow(display_);
    const Pixmap empty = XCreatePixmap(display_, root, 1, 1, 1);
    XColor black{};
    invisible_ = XCreatePixmapCursor(display_, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display_, empty);
    const Screen* screen = DefaultScreenOfDisplay(display_);
    XIWarpPointer(display_, pointer_, None, root, 0, 0, 0, 0, WidthOfScreen(screen) - 1,
                  HeightOfScreen(screen) - 1);
    // Grabbed with no events asked for: the cursor of a grab is the only one it shows.
    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
    XIEventMask mask{pointer_, static_cast<int>(bits.size()), bits.data()};
    XIGrabDevice(display_, pointer_, root, CurrentTime, invisible_, GrabModeAsync, GrabModeAsync,
                 False, &mask);
    trap.sync();
}

Window X11OwnKeyboard::followFocus() {
    X11ErrorTrap trap(display_);
    const Window root = DefaultRootWindow(display_);
    Window focus = None;
    if (XIGetFocus(display_, desktopKeyboard_, &focus) != Success) {
        focus = None;
    }
    if (focus == PointerRoot || focus == root) {
        // The keys go to the window under the pointer, so this keyboard's go there too.
        Window window = root;
        for (int depth = 0; depth < 32; ++depth) {
            Window rootReturn = None;
            Window child = None;
            int x = 0;
            int y = 0;
            int wx = 0;
            int wy = 0;
            unsigned mask = 0;
            if (!XQueryPointer(display_, window, &rootReturn, &child, &x, &y, &wx, &wy, &mask) ||
                child == None) {
                break;
            }
            window = child;
        }
        focus = window == root ? None : window;
    }
    // Moving the focus makes toolkits tell of windows deactivated and activated again, which
    // accessibility listeners (this program's too) take for a change of field: only when it moves.
    Window own = None;
    if (focus != None && (XIGetFocus(display_, keyboard_, &own) != Success || own != focus)) {
        XISetFocus(display_, keyboard_, focus, CurrentTime);
    }
    if (trap.sync() != Success) {
        return None;
    }
    return focus;
}

} // namespace quillo::linuxdesktop
