#include "platform/linux/X11KeyCodes.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

using namespace quillo;
using linuxdesktop::ModifierRoles;
namespace flag = platform::flag;

// The modifier bits of the X protocol's key state (X.h itself defines None, which gtest uses).
constexpr unsigned ShiftMask = 1u << 0;
constexpr unsigned LockMask = 1u << 1;
constexpr unsigned ControlMask = 1u << 2;
constexpr unsigned Mod1Mask = 1u << 3;
constexpr unsigned Mod2Mask = 1u << 4;
constexpr unsigned Mod3Mask = 1u << 5;
constexpr unsigned Mod4Mask = 1u << 6;
constexpr unsigned Mod5Mask = 1u << 7;
constexpr unsigned Button1Mask = 1u << 8;

struct KeyCase {
    const char* name;
    int evdev; // the kernel's key number
    platform::KeyCode mac;
};

// The keys the engine and the replacer name, and a sample of the rest.
constexpr KeyCase keyCases[] = {
    {"A", 30, 0},          {"S", 31, 1},          {"C", 46, 8},         {"V", 47, 9},
    {"Q", 16, 12},         {"M", 50, 46},         {"1", 2, 18},         {"5", 6, 23},
    {"6", 7, 22},          {"0", 11, 29},         {"minus", 12, 27},    {"grave", 41, 50},
    {"backslash", 43, 42}, {"slash", 53, 44},     {"Return", 28, 36},   {"Tab", 15, 48},
    {"Space", 57, 49},     {"Backspace", 14, 51}, {"Escape", 1, 53},    {"Delete", 111, 117},
    {"Left", 105, 123},    {"Right", 106, 124},   {"Down", 108, 125},   {"Up", 103, 126},
    {"Home", 102, 115},    {"End", 107, 119},     {"PageUp", 104, 116}, {"PageDown", 109, 121},
    {"F1", 59, 122},       {"F5", 63, 96},        {"F12", 88, 111},     {"Super_L", 125, 55},
    {"Control_L", 29, 59}, {"Alt_L", 56, 58},     {"Shift_L", 42, 56},  {"KP_Enter", 96, 76},
};

TEST(X11KeyCodes, evdevKeysMapByPositionBothWays) {
    for (const auto& c : keyCases) {
        SCOPED_TRACE(c.name);
        const auto xKeyCode = static_cast<linuxdesktop::XKeyCode>(c.evdev + 8);
        EXPECT_EQ(linuxdesktop::macKeyForEvdev(xKeyCode), c.mac);
        EXPECT_EQ(linuxdesktop::evdevForMacKey(c.mac), xKeyCode);
    }
}

TEST(X11KeyCodes, everyMacKeyComesBackFromItsXKey) {
    for (int mac = 0; mac < 128; ++mac) {
        const auto key = static_cast<platform::KeyCode>(mac);
        if (const auto xKeyCode = linuxdesktop::evdevForMacKey(key)) {
            EXPECT_EQ(linuxdesktop::macKeyForEvdev(*xKeyCode), key) << "Mac key " << mac;
        }
    }
}

TEST(X11KeyCodes, keysWithoutAMacCounterpartHaveNone) {
    EXPECT_EQ(linuxdesktop::macKeyForEvdev(99 + 8), std::nullopt); // Print Screen
    EXPECT_EQ(linuxdesktop::macKeyForEvdev(8), std::nullopt);
    EXPECT_EQ(linuxdesktop::evdevForMacKey(52), std::nullopt); // no key of a PC keyboard
}

struct SymbolCase {
    const char* name;
    linuxdesktop::XKeySym keySym;
    std::optional<platform::KeyCode> mac;
};

TEST(X11KeyCodes, symbolsOfTheUsLayoutFindTheirKeyWithOrWithoutShift) {
    const SymbolCase cases[] = {
        {"m", XK_m, 46},
        {"M", XK_M, 46},
        {"exclam", XK_exclam, 18},
        {"question", XK_question, 44},
        {"less", XK_less, 43},
        {"Return", XK_Return, 36},
        {"ISO_Left_Tab", XK_ISO_Left_Tab, 48},
        {"KP_Home", XK_KP_Home, 89},
        {"BackSpace", XK_BackSpace, 51},
        {"eacute", XK_eacute, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linuxdesktop::macKeyForKeySym(c.keySym), c.mac);
    }
    EXPECT_EQ(linuxdesktop::keySymForMacKey(46), static_cast<linuxdesktop::XKeySym>(XK_m));
    EXPECT_EQ(linuxdesktop::keySymForMacKey(123), static_cast<linuxdesktop::XKeySym>(XK_Left));
}

constexpr ModifierRoles usualRoles{Mod1Mask, Mod4Mask, Mod2Mask};

struct FlagCase {
    const char* name;
    unsigned state;
    platform::EventFlags flags;
};

TEST(X11KeyCodes, modifiersMapByName) {
    const FlagCase cases[] = {
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
        EXPECT_EQ(linuxdesktop::macFlagsForState(c.state, usualRoles), c.flags);
    }
}

TEST(X11KeyCodes, altAndSuperFollowTheServersModifierMap) {
    const ModifierRoles unusual{Mod3Mask, 0, 0};
    EXPECT_EQ(linuxdesktop::macFlagsForState(Mod3Mask, unusual), flag::option);
    EXPECT_EQ(linuxdesktop::macFlagsForState(Mod1Mask | Mod4Mask, unusual), 0u);
}

TEST(X11KeyCodes, hotkeyFlagsBecomeTheXMask) {
    EXPECT_EQ(linuxdesktop::stateForMacFlags(flag::control | flag::option, usualRoles),
              ControlMask | Mod1Mask);
    EXPECT_EQ(linuxdesktop::stateForMacFlags(flag::shift | flag::command, usualRoles),
              ShiftMask | Mod4Mask);
    EXPECT_EQ(linuxdesktop::stateForMacFlags(0, usualRoles), 0u);
    // A server without Super cannot grab a Command hotkey.
    EXPECT_EQ(linuxdesktop::stateForMacFlags(flag::command, ModifierRoles{Mod1Mask, 0, 0}),
              std::nullopt);
}

} // namespace
