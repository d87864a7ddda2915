#include "main/UiDesktopHooks.h"

#include "platform/linux/X11KeyCodes.h"
#include "platform/linux/X11OpenWindows.h"
#include "ui/AppPicker.h"
#include "ui/KeyRecorder.h"

#include <limits>

namespace quillo::cli {

void installUiDesktopHooks() {
    // Qt's native scan code on X11 is the X key code and its native virtual key the key symbol.
    // Keys are recorded by position, as the keyboard tap reads them on an evdev server; the
    // symbol serves for the keys that position does not name.
    ui::KeyRecorder::setNativeKeyTranslator(
        [](std::uint32_t scanCode, std::uint32_t keySym) -> std::optional<platform::KeyCode> {
            if (scanCode <= std::numeric_limits<x11::XKeyCode>::max()) {
                if (auto key = x11::macKeyForEvdev(static_cast<x11::XKeyCode>(scanCode))) {
                    return key;
                }
            }
            return x11::macKeyForKeySym(keySym);
        });
    ui::AppPicker::setOpenApplicationsSource([] { return x11::openWindowClasses(); });
}

} // namespace quillo::cli
