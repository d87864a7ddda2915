// The applications with a window open on the X display, for the app chooser of the snippet
// editor: each is named by its window class (the second string of WM_CLASS), the same id that
// X11Workspace reports for the application in front.
#pragma once

#include <string>
#include <vector>

namespace quillo::linuxdesktop {

// The classes of the windows the window manager lists (_NET_CLIENT_LIST), in its order, each
// once; without a window manager, those of the root window's mapped children. Opens a connection
// of its own for the moment of the call; empty when the display cannot be opened.
std::vector<std::string> openWindowClasses();

} // namespace quillo::linuxdesktop
