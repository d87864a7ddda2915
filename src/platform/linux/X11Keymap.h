// The keyboard of one X connection as the seam sees it: which Mac key an X key code is, the X key
// code of a Mac key, the text a key types, the modifier roles and the keys a character is typed
// with. It reads the server's mapping once and again after each refresh(); the lookups that the
// key path makes are answered from memory (Xlib keeps the XKB map client-side).
//
// One instance per connection, used on that connection's thread.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/X11KeyCodes.h"
#include "platform/linux/XlibHeaders.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillo::linuxdesktop {

class X11Keymap {
  public:
    explicit X11Keymap(Display* display);

    // Reads the mapping anew; call after a MappingNotify or an XKB map change.
    void refresh();

    platform::KeyCode macKeyFor(XKeyCode keyCode) const;
    std::optional<XKeyCode> keyCodeFor(platform::KeyCode macKey) const;
    // The first key code that gives this symbol at any level of the current group.
    std::optional<XKeyCode> keyCodeForKeySym(XKeySym keySym) const;

    const ModifierRoles& roles() const { return roles_; }
    platform::EventFlags flagsFor(unsigned state) const;
    // Whether the key is one of the server's modifier keys (Shift, Ctrl, Alt, Caps Lock...).
    bool isModifierKey(XKeyCode keyCode) const;
    // The X modifier bit a modifier key sets; 0 for other keys.
    unsigned modifierBitOf(XKeyCode keyCode) const;
    // Keys that set a modifier while held, as opposed to the lock keys (Caps Lock, Num Lock).
    const std::vector<XKeyCode>& heldModifierKeys() const { return heldModifierKeys_; }
    // A key that sets the modifier bit; none when no key does.
    std::optional<XKeyCode> keyForModifierBit(unsigned bit) const;

    // What the key types in the given state (modifiers and group), as UTF-16; empty for keys that
    // type nothing.
    std::u16string textFor(XKeyCode keyCode, unsigned state) const;

    // How to type a character with the current layout: the key and its shift level (0 plain, 1
    // Shift, 2 AltGr, 3 AltGr+Shift), for the given group.
    struct Typing {
        XKeyCode keyCode;
        int level;
    };
    std::optional<Typing> typingFor(char32_t character, int group);
    // Key codes that no symbol is bound to, to be borrowed for characters the layout lacks.
    const std::vector<XKeyCode>& spareKeyCodes() const { return spareKeyCodes_; }

    bool usesEvdevKeyCodes() const { return evdev_; }
    Display* display() const { return display_; }

  private:
    void buildTypingTable(int group);

    Display* display_;
    bool evdev_ = true;
    int minKeyCode_ = 8;
    int maxKeyCode_ = 255;
    ModifierRoles roles_;
    std::vector<unsigned> modifierBits_; // by key code
    std::vector<XKeyCode> heldModifierKeys_;
    std::vector<XKeyCode> spareKeyCodes_;
    std::unordered_map<char32_t, Typing> typing_;
    int typingGroup_ = -1;
};

// The character a key symbol stands for; 0 when it stands for none.
char32_t characterOfKeySym(XKeySym keySym);

} // namespace quillo::linuxdesktop
