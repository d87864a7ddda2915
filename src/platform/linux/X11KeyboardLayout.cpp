#include "platform/linux/X11KeyboardLayout.h"

#include "platform/linux/X11KeyCodes.h"
#include "platform/linux/XlibHeaders.h"

#include <limits>

namespace quillo::linuxdesktop {

std::u16string X11KeyboardLayout::textForKey(platform::KeyCode keyCode) const {
    const auto x = keymap_.keyCodeFor(keyCode);
    if (!x) {
        return {};
    }
    // The layout the user has switched to is the XKB group, which sits in bits 13 and 14 of a
    // state word.
    XkbStateRec state{};
    unsigned group = 0;
    if (XkbGetState(keymap_.display(), XkbUseCoreKbd, &state) == Success) {
        group = state.group;
    }
    return keymap_.textFor(*x, group << 13);
}

std::optional<platform::KeyCode> X11KeyboardLayout::keyForNativeCodes(std::uint32_t scanCode,
                                                                      std::uint32_t keySym) const {
    if (scanCode <= std::numeric_limits<XKeyCode>::max()) {
        if (auto key = macKeyForEvdev(static_cast<XKeyCode>(scanCode))) {
            return key;
        }
    }
    return macKeyForKeySym(keySym);
}

} // namespace quillo::linuxdesktop
