// The program in front on X: the process whose window has the keyboard (frontWindow and
// windowProcess). The listener hears of every change: the window manager's _NET_ACTIVE_WINDOW
// is watched, and refresh() looks again, for a desktop without a window manager, where nothing
// tells when the input focus moves, and for a key typed before the notice of a change arrived.
#pragma once

#include "platform/linux/XlibHeaders.h"

#include <functional>
#include <optional>

namespace quillo::linuxdesktop {

class X11Connection;

class X11FrontProgram {
  public:
    // None for no window, or for a window that does not name its process.
    using Listener = std::function<void(std::optional<long> process)>;

    // `connection` is the main thread's; the listener is told the program in front at once.
    X11FrontProgram(X11Connection& connection, Listener listener);

    // A few round trips, cheap enough for each key press.
    void refresh();

  private:
    Display* display_;
    Listener listener_;
    Atom activeWindowAtom_;
    std::optional<long> process_;
};

} // namespace quillo::linuxdesktop
