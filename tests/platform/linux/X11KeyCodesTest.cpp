#include "platform/linux/X11KeyCodes.h"

#include "platform/linux/ClipboardKeys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

using namespace quillo;
using namespace linuxdesktop;
namespace flag = platform::flag;

// The modifier bits of the X protocol's key state (X.h itself defines None, which gtest uses).
constexpr unsigned ShiftMask = 1u << 0, LockMask = 1u << 1, ControlMask = 1u << 2,
                   Mod1Mask = 1u << 3, Mod2Mask = 1u << 4, Mod3Mask = 1u << 5, Mod4Mask = 1u << 6,
                   Mod5Mask = 1u << 7, Button1Mask = 1u << 8;

struct KeyCase {
    const char* name;
    int evdev; // the kernel's key number
    platform::KeyCode mac;
};

// The keys the engine and the replacer name, and a sample of the rest.
constexpr KeyCase keyCases[] = {
    {"A", 30, 0},          {"S", 31, 1},      {"C", 46, 8},        {"V", 47, 9},
    {"Return", 28, 36},    {"Tab", 15, 48},   {"Space", 57, 49},   {"Backspace", 14, 51},
    {"Left", 105, 123},    {"Up", 103, 126},  {"F5", 63, 96},      {"Super_L", 125, 55},
    {"Control_L", 29, 59}, {"Alt_L", 56, 58}, {"Shift_L", 42, 56}, {"KP_Enter", 96, 76},
};

TEST(X11KeyCodes, EvdevKeysMapByPositionBothWays) {
    for (const auto& c : keyCases) {
        SCOPED_TRACE(c.name);
        const auto xKeyCode = static_cast<XKeyCode>(c.evdev + 8);
        EXPECT_EQ(macKeyForEvdev(xKeyCode), c.mac);
        EXPECT_EQ(evdevForMacKey(c.mac), xKeyCode);
    }
    for (int mac = 0; mac < 128; ++mac) {
        const auto key = static_cast<platform::KeyCode>(mac);
        if (const auto xKeyCode = evdevForMacKey(key)) {
            EXPECT_EQ(macKeyForEvdev(*xKeyCode), key) << "Mac key " << mac;
        }
    }
    // Keys without a counterpart: Print Screen, the lowest code, no key of a PC keyboard.
    EXPECT_EQ(macKeyForEvdev(99 + 8), std::nullopt);
    EXPECT_EQ(macKeyForEvdev(8), std::nullopt);
    EXPECT_EQ(evdevForMacKey(52), std::nullopt);
}

TEST(X11KeyCodes, SymbolsOfTheUsLayoutFindTheirKeyWithOrWithoutShift) {
    const std::pair<XKeySym, std::optional<platform::KeyCode>> cases[] = {
        {XK_m, 46},       {XK_M, 46},
        {XK_exclam, 18},  {XK_question, 44},
        {XK_less, 43},    {XK_ISO_Left_Tab, 48},
        {XK_KP_Home, 89}, {XK_eacute, std::nullopt},
    };
    for (const auto& [keySym, mac] : cases) {
        EXPECT_EQ(macKeyForKeySym(keySym), mac) << std::hex << keySym;
    }
    EXPECT_EQ(keySymForMacKey(46), static_cast<XKeySym>(XK_m));
    EXPECT_EQ(keySymForMacKey(123), static_cast<XKeySym>(XK_Left));
}

constexpr ModifierRoles usualRoles{Mod1Mask, Mod4Mask, Mod2Mask};

TEST(X11KeyCodes, ModifiersMapByNameBothWays) {
    const struct {
        const char* name;
        unsigned state;
        platform::EventFlags flags;
    } cases[] = {
        {"Ctrl+Alt", ControlMask | Mod1Mask, flag::control | flag::option},
        {"Shift", ShiftMask, flag::shift},
        {"Super", Mod4Mask, flag::command},
        {"Caps Lock", LockMask, flag::capsLock},
        {"Num Lock is no modifier", Mod2Mask, 0},
        {"AltGr is a level, not Option", Mod5Mask, 0},
        {"buttons and group bits add nothing", Button1Mask | (1u << 13), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(macFlagsForState(c.state, usualRoles), c.flags);
    }
    // Hotkey flags become the X mask of the server's modifiers.
    EXPECT_EQ(stateForMacFlags(flag::control | flag::option, usualRoles), ControlMask | Mod1Mask);
    EXPECT_EQ(stateForMacFlags(flag::shift | flag::command, usualRoles), ShiftMask | Mod4Mask);
    EXPECT_EQ(stateForMacFlags(0, usualRoles), 0u);
    // Alt and Super follow the server's modifier map; without Super, no Command hotkey.
    const ModifierRoles unusual{Mod3Mask, 0, 0};
    EXPECT_EQ(macFlagsForState(Mod3Mask, unusual), flag::option);
    EXPECT_EQ(macFlagsForState(Mod1Mask | Mod4Mask, unusual), 0u);
    EXPECT_EQ(stateForMacFlags(flag::command, unusual), std::nullopt);
}

using Kind = ClipboardKeys::Kind;

TEST(ClipboardKeys, EachApplicationGetsItsOwnPasteAndCopyKeys) {
    const struct {
        const char* windowClass;
        ClipboardAction action;
        ClipboardKeys keys;
    } cases[] = {
        {"Zenity", ClipboardAction::paste, {Kind::keys, XK_v, true, false, false}},
        {"Zenity", ClipboardAction::copy, {Kind::keys, XK_c, true, false, false}},
        {"", ClipboardAction::paste, {Kind::keys, XK_v, true, false, false}},
        {"Gnome-terminal", ClipboardAction::paste, {Kind::keys, XK_v, true, true, false}},
        {"KONSOLE", ClipboardAction::paste, {Kind::keys, XK_v, true, true, false}},
        {"XTerm", ClipboardAction::paste, {Kind::typeClipboard}},
        {"XTerm", ClipboardAction::copy, {Kind::none}},
        {"URxvt", ClipboardAction::paste, {Kind::keys, XK_v, true, false, true}},
        // Only the whole class counts.
        {"Gnome-terminal-clone", ClipboardAction::paste, {Kind::keys, XK_v, true, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windowClass);
        EXPECT_EQ(clipboardKeysFor(c.windowClass, c.action), c.keys);
    }
}

} // namespace
