// How X11 keys and modifiers are told in the seam's Mac encoding, and back.
//
// Key codes are positions on the keyboard, as on the Mac: on a server with evdev key codes (every
// Xorg and Xvfb of today) an X key code is the kernel's key number plus 8 and maps by position,
// so the key right of Tab is Mac key 12 whatever the layout prints on it. On a server with
// another key code set the keys are found by the symbol the US layout gives them.
//
// Modifiers map as they are named: Ctrl is Control, Alt is Option, Shift is Shift, Super is
// Command, Caps Lock is Caps Lock. Which X modifier bit carries Alt or Super depends on the
// server's modifier map, so the translation takes the roles found there. AltGr is a level of the
// layout, never a modifier of its own.
//
// Nothing here talks to a server: the tables and the translations are plain functions.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>

namespace quillo::linuxdesktop {

using XKeyCode = std::uint8_t;
using XKeySym = std::uint32_t;

// Keys that have no Mac code (a key code left spare by the layout, say) carry this one, which
// matches no key the engine names.
inline constexpr platform::KeyCode unknownMacKey = 0xFFFF;

// The Mac key at an evdev X key code; none for keys without a counterpart.
std::optional<platform::KeyCode> macKeyForEvdev(XKeyCode keyCode);
// The evdev X key code of a Mac key; none for keys a PC keyboard lacks.
std::optional<XKeyCode> evdevForMacKey(platform::KeyCode macKey);

// The Mac key that the US layout gives this symbol without Shift (XK_m -> 46, XK_Return -> 36);
// symbols with Shift (XK_M, XK_exclam) map to their key too.
std::optional<platform::KeyCode> macKeyForKeySym(XKeySym keySym);
// The unshifted US symbol of a Mac key (46 -> XK_m); none for keys without one.
std::optional<XKeySym> keySymForMacKey(platform::KeyCode macKey);

// The X modifier bits (Mod1Mask ... Mod5Mask) that hold Alt and Super on a server; zero when
// none does. Num Lock is named because hotkeys are grabbed with and without it.
struct ModifierRoles {
    unsigned alt = 0;
    unsigned super = 0;
    unsigned numLock = 0;
    bool operator==(const ModifierRoles&) const = default;
};

// The Mac flag word of an X modifier state (the eight modifier bits of an event's state).
platform::EventFlags macFlagsForState(unsigned state, const ModifierRoles& roles);
// The X modifier mask of the four hotkey modifiers; none when the server has no bit for a
// modifier the flags ask for (a Super hotkey on a server without Super).
std::optional<unsigned> stateForMacFlags(platform::EventFlags flags, const ModifierRoles& roles);

} // namespace quillo::linuxdesktop
