// How a window names its application on X11: the class of its WM_CLASS (the second string,
// "Zenity", "firefox-esr"), the id that application filters hold.
#pragma once

#include "platform/linux/XlibHeaders.h"

#include <optional>
#include <string>

namespace quillo::linuxdesktop {

// None when the window has no class or an empty one, which names no application.
std::optional<std::string> windowClass(Display* display, Window window);

} // namespace quillo::linuxdesktop
