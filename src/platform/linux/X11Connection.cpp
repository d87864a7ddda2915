#include "platform/linux/X11Connection.h"

#include "platform/linux/XlibHeaders.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <mutex>

namespace quillo::linuxdesktop {

namespace {

std::mutex trapsMutex;
std::vector<X11ErrorTrap*>& traps() {
    static std::vector<X11ErrorTrap*> all;
    return all;
}

} // namespace

int handleError(Display* display, XErrorEvent* error) {
    std::lock_guard lock(trapsMutex);
    // The newest trap of the connection owns the error; an error nobody traps is of no use to
    // anyone, and ending the program over it would be worse.
    for (auto it = traps().rbegin(); it != traps().rend(); ++it) {
        X11ErrorTrap* trap = *it;
        if (trap->display_ == display && error->serial >= trap->firstSerial_) {
            if (trap->error_ == Success) {
                trap->error_ = error->error_code;
            }
            break;
        }
    }
    return 0;
}

void installErrorHandler() {
    XSetErrorHandler(handleError);
}

X11ErrorTrap::X11ErrorTrap(Display* display)
    : display_(display), firstSerial_(NextRequest(display)) {
    std::lock_guard lock(trapsMutex);
    traps().push_back(this);
}

X11ErrorTrap::~X11ErrorTrap() {
    std::lock_guard lock(trapsMutex);
    auto& all = traps();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

int X11ErrorTrap::sync() {
    XSync(display_, False);
    std::lock_guard lock(trapsMutex);
    return error_;
}

std::unique_ptr<X11Connection> X11Connection::open() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(Display* display) : display_(display) {
    int opcode = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(display_, &opcode, &xkbEventBase_, &errorBase, &major, &minor)) {
        // Layout switches and new keyboards come as XKB events.
        XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    } else {
        xkbEventBase_ = -1;
    }
    notifier_ =
        std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { drain(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(
            QCoreApplication::instance() ? QCoreApplication::instance()->thread() : nullptr)) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { drain(); });
    }
}

X11Connection::~X11Connection() {
    notifier_.reset();
    XCloseDisplay(display_);
}

void X11Connection::addListener(Listener listener) {
    listeners_.push_back(std::move(listener));
}

void X11Connection::drain() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        for (const auto& listener : listeners_) {
            listener(event);
        }
    }
}

} // namespace quillo::linuxdesktop
