// A connection to the X server that lives on the Qt main thread: its events are read when the
// socket has data and whenever the event loop is about to sleep (Xlib may have read events into
// its queue during a round trip, and the socket would not tell of those again).
//
// Also the program's handling of X errors: Xlib's own handler ends the process at the first
// error, while here a failed request is expected now and then (a hotkey another program holds)
// and is either trapped by the code that made it or ignored.
#pragma once

#include "platform/linux/XlibHeaders.h"

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace quillo::linuxdesktop {

// Installs the process-wide X error handler; call before the first connection is opened.
void installErrorHandler();

// Catches the errors of the requests made on one connection while it exists.
class X11ErrorTrap {
  public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for the server to have answered every request made so far; the error code of the
    // first that failed, or 0 (Success).
    int sync();

  private:
    friend int handleError(Display*, XErrorEvent*);
    Display* display_;
    unsigned long firstSerial_;
    int error_ = 0;
};

class X11Connection : public QObject {
  public:
    using Listener = std::function<void(XEvent&)>;

    // Opens the default display ($DISPLAY); none when it cannot be reached.
    static std::unique_ptr<X11Connection> open();
    ~X11Connection() override;

    Display* display() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }
    // The first event code of the XKB extension, to tell its events apart.
    int xkbEventBase() const { return xkbEventBase_; }

    // Called for every event of the connection, in order, on the main thread.
    void addListener(Listener listener);
    // Reads every event the connection has, now.
    void drain();

  private:
    explicit X11Connection(Display* display);

    Display* display_;
    int xkbEventBase_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Listener> listeners_;
};

} // namespace quillo::linuxdesktop
