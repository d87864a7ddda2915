#include "platform/linux/X11Keymap.h"

#include "platform/linux/XlibHeaders.h"

#include <cstring>
#include <xkbcommon/xkbcommon.h>

namespace quillo::linuxdesktop {

namespace {

constexpr int modifierCount = 8;
constexpr std::size_t maxSpareKeyCodes = 8;

bool isLockKeySym(KeySym keySym) {
    return keySym == XK_Caps_Lock || keySym == XK_Shift_Lock || keySym == XK_Num_Lock ||
           keySym == XK_Scroll_Lock;
}

bool isKeypadKeySym(KeySym keySym) {
    return keySym >= XK_KP_Space && keySym <= XK_KP_Equal;
}

// The server says which key code set it uses in the XKB names; "evdev" is today's norm.
bool serverUsesEvdev(Display* display) {
    XkbDescPtr xkb = XkbAllocKeyboard();
    if (xkb == nullptr) {
        return true;
    }
    bool evdev = true;
    if (XkbGetNames(display, XkbKeycodesNameMask, xkb) == Success && xkb->names &&
        xkb->names->keycodes != None) {
        if (char* name = XGetAtomName(display, xkb->names->keycodes)) {
            evdev = std::strstr(name, "evdev") != nullptr;
            XFree(name);
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return evdev;
}

void appendUtf16(std::u16string& out, char32_t ch) {
    if (ch >= 0x10000) {
        const char32_t offset = ch - 0x10000;
        out += static_cast<char16_t>(0xD800 + (offset >> 10));
        out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
        out += static_cast<char16_t>(ch);
    }
}

} // namespace

char32_t characterOfKeySym(XKeySym keySym) {
    return xkb_keysym_to_utf32(keySym);
}

X11Keymap::X11Keymap(Display* display) : display_(display) {
    refresh();
}

void X11Keymap::refresh() {
    XDisplayKeycodes(display_, &minKeyCode_, &maxKeyCode_);
    evdev_ = serverUsesEvdev(display_);
    roles_ = {};
    modifierBits_.assign(256, 0);
    heldModifierKeys_.clear();
    spareKeyCodes_.clear();
    typing_.clear();
    typingGroup_ = -1;

    if (XModifierKeymap* map = XGetModifierMapping(display_)) {
        for (int index = 0; index < modifierCount; ++index) {
            const unsigned bit = 1u << index;
            for (int i = 0; i < map->max_keypermod; ++i) {
                const KeyCode keyCode = map->modifiermap[index * map->max_keypermod + i];
                if (keyCode == 0) {
                    continue;
                }
                modifierBits_[keyCode] |= bit;
                const KeySym keySym = XkbKeycodeToKeysym(display_, keyCode, 0, 0);
                if (!isLockKeySym(keySym)) {
                    heldModifierKeys_.push_back(keyCode);
                }
                // Only Mod1 to Mod5 can be Alt or Super; the first key that claims a role wins.
                if (index < Mod1MapIndex) {
                    continue;
                }
                if ((keySym == XK_Alt_L || keySym == XK_Alt_R || keySym == XK_Meta_L ||
                     keySym == XK_Meta_R) &&
                    roles_.alt == 0) {
                    roles_.alt = bit;
                } else if ((keySym == XK_Super_L || keySym == XK_Super_R) && roles_.super == 0) {
                    roles_.super = bit;
                } else if (keySym == XK_Num_Lock && roles_.numLock == 0) {
                    roles_.numLock = bit;
                }
            }
        }
        XFreeModifiermap(map);
    }

    int perKeyCode = 0;
    const int count = maxKeyCode_ - minKeyCode_ + 1;
    if (KeySym* syms =
            XGetKeyboardMapping(display_, static_cast<KeyCode>(minKeyCode_), count, &perKeyCode)) {
        // From the top down: the highest key codes are the least likely to be on a keyboard.
        for (int keyCode = maxKeyCode_; keyCode > minKeyCode_; --keyCode) {
            const KeySym* row = syms + (keyCode - minKeyCode_) * perKeyCode;
            bool empty = true;
            for (int i = 0; i < perKeyCode; ++i) {
                empty = empty && row[i] == NoSymbol;
            }
            if (empty && modifierBits_[static_cast<std::size_t>(keyCode)] == 0) {
                spareKeyCodes_.push_back(static_cast<XKeyCode>(keyCode));
                if (spareKeyCodes_.size() == maxSpareKeyCodes) {
                    break;
                }
            }
        }
        XFree(syms);
    }
}

platform::KeyCode X11Keymap::macKeyFor(XKeyCode keyCode) const {
    if (evdev_) {
        if (auto mac = macKeyForEvdev(keyCode)) {
            return *mac;
        }
    }
    const KeySym keySym = XkbKeycodeToKeysym(display_, keyCode, 0, 0);
    if (keySym != NoSymbol) {
        if (auto mac = macKeyForKeySym(static_cast<XKeySym>(keySym))) {
            return *mac;
        }
    }
    return unknownMacKey;
}

std::optional<XKeyCode> X11Keymap::keyCodeFor(platform::KeyCode macKey) const {
    if (evdev_) {
        if (auto keyCode = evdevForMacKey(macKey)) {
            if (*keyCode >= minKeyCode_ && *keyCode <= maxKeyCode_) {
                return keyCode;
            }
        }
    }
    if (auto keySym = keySymForMacKey(macKey)) {
        return keyCodeForKeySym(*keySym);
    }
    return std::nullopt;
}

std::optional<XKeyCode> X11Keymap::keyCodeForKeySym(XKeySym keySym) const {
    const KeyCode keyCode = XKeysymToKeycode(display_, keySym);
    if (keyCode == 0) {
        return std::nullopt;
    }
    return static_cast<XKeyCode>(keyCode);
}

platform::EventFlags X11Keymap::flagsFor(unsigned state) const {
    return macFlagsForState(state, roles_);
}

bool X11Keymap::isModifierKey(XKeyCode keyCode) const {
    return modifierBits_[keyCode] != 0;
}

unsigned X11Keymap::modifierBitOf(XKeyCode keyCode) const {
    return modifierBits_[keyCode];
}

std::optional<XKeyCode> X11Keymap::keyForModifierBit(unsigned bit) const {
    for (const XKeyCode keyCode : heldModifierKeys_) {
        if (modifierBits_[keyCode] & bit) {
            return keyCode;
        }
    }
    return std::nullopt;
}

std::u16string X11Keymap::textFor(XKeyCode keyCode, unsigned state) const {
    KeySym keySym = NoSymbol;
    unsigned int consumed = 0;
    if (!XkbLookupKeySym(display_, keyCode, state, &consumed, &keySym) || keySym == NoSymbol) {
        return {};
    }
    std::u16string text;
    if (const char32_t ch = characterOfKeySym(static_cast<XKeySym>(keySym)); ch != 0) {
        appendUtf16(text, ch);
    }
    return text;
}

std::optional<X11Keymap::Typing> X11Keymap::typingFor(char32_t character, int group) {
    if (group != typingGroup_) {
        buildTypingTable(group);
    }
    // Return is what people mean by a line break; the layout's own symbol for it types "\r".
    if (character == U'\n') {
        character = U'\r';
    }
    const auto found = typing_.find(character);
    if (found == typing_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void X11Keymap::buildTypingTable(int group) {
    typing_.clear();
    typingGroup_ = group;
    // Lower levels first, so that a character is typed with the fewest modifiers; keypad keys
    // last, since what they type depends on Num Lock.
    for (int level = 0; level < 4; ++level) {
        for (int keyCode = minKeyCode_; keyCode <= maxKeyCode_; ++keyCode) {
            const KeySym keySym =
                XkbKeycodeToKeysym(display_, static_cast<KeyCode>(keyCode), group, level);
            if (keySym == NoSymbol || isKeypadKeySym(keySym)) {
                continue;
            }
            const char32_t ch = characterOfKeySym(static_cast<XKeySym>(keySym));
            if (ch != 0) {
                typing_.try_emplace(ch, Typing{static_cast<XKeyCode>(keyCode), level});
            }
        }
    }
}

} // namespace quillo::linuxdesktop
