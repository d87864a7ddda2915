#include "platform/linux/X11FrontProgram.h"

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Workspace.h"

namespace quillo::linuxdesktop {

X11FrontProgram::X11FrontProgram(X11Connection& connection, Listener listener)
    : display_(connection.display()), listener_(std::move(listener)),
      activeWindowAtom_(XInternAtom(display_, "_NET_ACTIVE_WINDOW", False)) {
    // Added to what the connection already asks of the root window, not in place of it.
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, connection.root(), &attributes);
    XSelectInput(display_, connection.root(), attributes.your_event_mask | PropertyChangeMask);
    connection.addListener([this, root = connection.root()](XEvent& event) {
        if (event.type == PropertyNotify && event.xproperty.window == root &&
            event.xproperty.atom == activeWindowAtom_) {
            refresh();
        }
    });
    refresh();
}

void X11FrontProgram::refresh() {
    // The window is not enough to go by: the server gives a new client the ids of one that has
    // left, so the dialog that follows a closed one often has its window's id.
    const std::optional<Window> window = frontWindow(display_);
    const std::optional<long> process = window ? windowProcess(display_, *window) : std::nullopt;
    if (process != process_) {
        process_ = process;
        listener_(process_);
    }
}

} // namespace quillo::linuxdesktop
