#include "platform/linux/X11KeyCodes.h"

#include "platform/linux/XlibHeaders.h"

#include <array>

namespace quillo::linuxdesktop {

namespace {

struct Key {
    platform::KeyCode mac;
    int evdev; // the kernel's key number; the X key code is 8 more
    XKeySym keySym;
};

// One row per key of a PC keyboard that a Mac keyboard has too. Insert is the key that sits where
// the Mac's Help key is; the key left of Z on an ISO keyboard is the Mac's section key.
constexpr Key keys[] = {
    {0, 30, XK_a},
    {1, 31, XK_s},
    {2, 32, XK_d},
    {3, 33, XK_f},
    {4, 35, XK_h},
    {5, 34, XK_g},
    {6, 44, XK_z},
    {7, 45, XK_x},
    {8, 46, XK_c},
    {9, 47, XK_v},
    {10, 86, XK_less},
    {11, 48, XK_b},
    {12, 16, XK_q},
    {13, 17, XK_w},
    {14, 18, XK_e},
    {15, 19, XK_r},
    {16, 21, XK_y},
    {17, 20, XK_t},
    {18, 2, XK_1},
    {19, 3, XK_2},
    {20, 4, XK_3},
    {21, 5, XK_4},
    {22, 7, XK_6},
    {23, 6, XK_5},
    {24, 13, XK_equal},
    {25, 10, XK_9},
    {26, 8, XK_7},
    {27, 12, XK_minus},
    {28, 9, XK_8},
    {29, 11, XK_0},
    {30, 27, XK_bracketright},
    {31, 24, XK_o},
    {32, 22, XK_u},
    {33, 26, XK_bracketleft},
    {34, 23, XK_i},
    {35, 25, XK_p},
    {36, 28, XK_Return},
    {37, 38, XK_l},
    {38, 36, XK_j},
    {39, 40, XK_apostrophe},
    {40, 37, XK_k},
    {41, 39, XK_semicolon},
    {42, 43, XK_backslash},
    {43, 51, XK_comma},
    {44, 53, XK_slash},
    {45, 49, XK_n},
    {46, 50, XK_m},
    {47, 52, XK_period},
    {48, 15, XK_Tab},
    {49, 57, XK_space},
    {50, 41, XK_grave},
    {51, 14, XK_BackSpace},
    {53, 1, XK_Escape},
    {54, 126, XK_Super_R},
    {55, 125, XK_Super_L},
    {56, 42, XK_Shift_L},
    {57, 58, XK_Caps_Lock},
    {58, 56, XK_Alt_L},
    {59, 29, XK_Control_L},
    {60, 54, XK_Shift_R},
    {61, 100, XK_ISO_Level3_Shift},
    {62, 97, XK_Control_R},
    {64, 187, XK_F17},
    {65, 83, XK_KP_Decimal},
    {67, 55, XK_KP_Multiply},
    {69, 78, XK_KP_Add},
    {71, 69, XK_Num_Lock},
    {72, 115, XF86XK_AudioRaiseVolume},
    {73, 114, XF86XK_AudioLowerVolume},
    {74, 113, XF86XK_AudioMute},
    {75, 98, XK_KP_Divide},
    {76, 96, XK_KP_Enter},
    {78, 74, XK_KP_Subtract},
    {79, 188, XK_F18},
    {80, 189, XK_F19},
    {81, 117, XK_KP_Equal},
    {82, 82, XK_KP_0},
    {83, 79, XK_KP_1},
    {84, 80, XK_KP_2},
    {85, 81, XK_KP_3},
    {86, 75, XK_KP_4},
    {87, 76, XK_KP_5},
    {88, 77, XK_KP_6},
    {89, 71, XK_KP_7},
    {90, 190, XK_F20},
    {91, 72, XK_KP_8},
    {92, 73, XK_KP_9},
    {96, 63, XK_F5},
    {97, 64, XK_F6},
    {98, 65, XK_F7},
    {99, 61, XK_F3},
    {100, 66, XK_F8},
    {101, 67, XK_F9},
    {103, 87, XK_F11},
    {105, 183, XK_F13},
    {106, 186, XK_F16},
    {107, 184, XK_F14},
    {109, 68, XK_F10},
    {111, 88, XK_F12},
    {113, 185, XK_F15},
    {114, 110, XK_Insert},
    {115, 102, XK_Home},
    {116, 104, XK_Prior},
    {117, 111, XK_Delete},
    {118, 62, XK_F4},
    {119, 107, XK_End},
    {120, 60, XK_F2},
    {121, 109, XK_Next},
    {122, 59, XK_F1},
    {123, 105, XK_Left},
    {124, 106, XK_Right},
    {125, 108, XK_Down},
    {126, 103, XK_Up},
};

template <typename Predicate>
const Key* findKey(Predicate matches) {
    for (const Key& key : keys) {
        if (matches(key)) {
            return &key;
        }
    }
    return nullptr;
}

// The unshifted US symbol of a symbol that the US layout gives with Shift.
XKeySym unshifted(XKeySym keySym) {
    if (keySym >= XK_A && keySym <= XK_Z) {
        return keySym - XK_A + XK_a;
    }
    constexpr std::array<std::pair<XKeySym, XKeySym>, 21> shifted = {{
        {XK_exclam, XK_1},
        {XK_at, XK_2},
        {XK_numbersign, XK_3},
        {XK_dollar, XK_4},
        {XK_percent, XK_5},
        {XK_asciicircum, XK_6},
        {XK_ampersand, XK_7},
        {XK_asterisk, XK_8},
        {XK_parenleft, XK_9},
        {XK_parenright, XK_0},
        {XK_underscore, XK_minus},
        {XK_plus, XK_equal},
        {XK_braceleft, XK_bracketleft},
        {XK_braceright, XK_bracketright},
        {XK_colon, XK_semicolon},
        {XK_quotedbl, XK_apostrophe},
        {XK_bar, XK_backslash},
        {XK_less, XK_comma},
        {XK_greater, XK_period},
        {XK_question, XK_slash},
        {XK_asciitilde, XK_grave},
    }};
    for (const auto& [with, without] : shifted) {
        if (with == keySym) {
            return without;
        }
    }
    // Keys whose symbol changes with Shift, Num Lock or the layout's habits, but not their place.
    constexpr std::array<std::pair<XKeySym, XKeySym>, 15> sameKey = {{
        {XK_ISO_Left_Tab, XK_Tab},
        {XK_Meta_L, XK_Alt_L},
        {XK_Alt_R, XK_ISO_Level3_Shift},
        {XK_KP_Insert, XK_KP_0},
        {XK_KP_End, XK_KP_1},
        {XK_KP_Down, XK_KP_2},
        {XK_KP_Next, XK_KP_3},
        {XK_KP_Left, XK_KP_4},
        {XK_KP_Begin, XK_KP_5},
        {XK_KP_Right, XK_KP_6},
        {XK_KP_Home, XK_KP_7},
        {XK_KP_Up, XK_KP_8},
        {XK_KP_Prior, XK_KP_9},
        {XK_KP_Delete, XK_KP_Decimal},
        {XK_Linefeed, XK_Return},
    }};
    for (const auto& [other, own] : sameKey) {
        if (other == keySym) {
            return own;
        }
    }
    return keySym;
}

} // namespace

std::optional<platform::KeyCode> macKeyForEvdev(XKeyCode keyCode) {
    const int evdev = keyCode - 8;
    if (const Key* key = findKey([evdev](const Key& k) { return k.evdev == evdev; })) {
        return key->mac;
    }
    return std::nullopt;
}

std::optional<XKeyCode> evdevForMacKey(platform::KeyCode macKey) {
    if (const Key* key = findKey([macKey](const Key& k) { return k.mac == macKey; })) {
        return static_cast<XKeyCode>(key->evdev + 8);
    }
    return std::nullopt;
}

std::optional<platform::KeyCode> macKeyForKeySym(XKeySym keySym) {
    const XKeySym plain = unshifted(keySym);
    if (plain == XK_less) {
        // The US layout has "<" on the comma key; the ISO key's own symbol comes second.
        return 43;
    }
    if (const Key* key = findKey([plain](const Key& k) { return k.keySym == plain; })) {
        return key->mac;
    }
    return std::nullopt;
}

std::optional<XKeySym> keySymForMacKey(platform::KeyCode macKey) {
    if (const Key* key = findKey([macKey](const Key& k) { return k.mac == macKey; })) {
        return key->keySym;
    }
    return std::nullopt;
}

platform::EventFlags macFlagsForState(unsigned state, const ModifierRoles& roles) {
    platform::EventFlags flags = 0;
    if (state & ShiftMask) {
        flags |= platform::flag::shift;
    }
    if (state & LockMask) {
        flags |= platform::flag::capsLock;
    }
    if (state & ControlMask) {
        flags |= platform::flag::control;
    }
    if (roles.alt != 0 && (state & roles.alt)) {
        flags |= platform::flag::option;
    }
    if (roles.super != 0 && (state & roles.super)) {
        flags |= platform::flag::command;
    }
    return flags;
}

std::optional<unsigned> stateForMacFlags(platform::EventFlags flags, const ModifierRoles& roles) {
    unsigned state = 0;
    if (flags & platform::flag::shift) {
        state |= ShiftMask;
    }
    if (flags & platform::flag::control) {
        state |= ControlMask;
    }
    if (flags & platform::flag::option) {
        if (roles.alt == 0) {
            return std::nullopt;
        }
        state |= roles.alt;
    }
    if (flags & platform::flag::command) {
        if (roles.super == 0) {
            return std::nullopt;
        }
        state |= roles.super;
    }
    return state;
}

} // namespace quillo::linuxdesktop
