#include "platform/linux/X11WindowClass.h"

namespace quillo::linuxdesktop {

std::optional<std::string> windowClass(Display* display, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) {
        return std::nullopt;
    }
    std::optional<std::string> result;
    if (hint.res_class != nullptr && hint.res_class[0] != '\0') {
        result = std::string(hint.res_class);
    }
    XFree(hint.res_name);
    XFree(hint.res_class);
    return result;
}

} // namespace quillo::linuxdesktop
