// The text a key gives in the current keyboard layout, for showing key combinations.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/X11Keymap.h"

namespace quillo::x11 {

class X11KeyboardLayout final : public platform::KeyboardLayout {
  public:
    // `keymap` belongs to a main-thread connection and outlives this object.
    explicit X11KeyboardLayout(X11Keymap& keymap) : keymap_(keymap) {}
    std::u16string textForKey(platform::KeyCode keyCode) const override;

  private:
    X11Keymap& keymap_;
};

} // namespace quillo::x11
