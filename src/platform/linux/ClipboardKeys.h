// The keys that make an X application paste or copy the CLIPBOARD selection.
//
// The text replacer says Command-V and Command-C, meaning "paste" and "copy". Most X applications
// take Ctrl+V and Ctrl+C; terminal emulators keep those for the shell (Ctrl+C interrupts) and
// take Ctrl+Shift+V and Ctrl+Shift+C instead. A few terminals have habits of their own. The whole
// knowledge lives in one table, keyed by the window's class.
#pragma once

#include "platform/linux/X11KeyCodes.h"

#include <string_view>

namespace quillo::linuxdesktop {

enum class ClipboardAction { paste, copy };

struct ClipboardKeys {
    enum class Kind {
        keys,          // press `key` with the modifiers below
        typeClipboard, // no key pastes the clipboard: type its text instead
        none,          // no key does it: send nothing
    };
    Kind kind = Kind::keys;
    XKeySym key = 0;
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool operator==(const ClipboardKeys&) const = default;
};

// `windowClass` is the class of WM_CLASS (its second string), compared without regard to case;
// an empty class gets the common keys.
ClipboardKeys clipboardKeysFor(std::string_view windowClass, ClipboardAction action);

} // namespace quillo::linuxdesktop
