// The text a key gives in the current keyboard layout, for showing key combinations, and the key
// of a press that one of the program's windows received, for recording them.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/X11Keymap.h"

namespace quillo::linuxdesktop {

class X11KeyboardLayout final : public platform::KeyboardLayout {
  public:
    // `keymap` belongs to a main-thread connection and outlives this object.
    explicit X11KeyboardLayout(X11Keymap& keymap) : keymap_(keymap) {}
    std::u16string textForKey(platform::KeyCode keyCode) const override;
    // Qt's native scan code on X11 is the X key code, its native virtual key the key symbol.
    // Keys are named by position, as the keyboard tap reads them on an evdev server; the symbol
    // serves for the keys that position does not name.
    std::optional<platform::KeyCode> keyForNativeCodes(std::uint32_t scanCode,
                                                       std::uint32_t keySym) const override;

  private:
    X11Keymap& keymap_;
};

} // namespace quillo::linuxdesktop
