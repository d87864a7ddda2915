#include "platform/linux/ClipboardKeys.h"

#include "platform/linux/XlibHeaders.h"

#include <algorithm>
#include <cctype>

namespace quillo::linuxdesktop {

namespace {

using Kind = ClipboardKeys::Kind;

constexpr ClipboardKeys ctrl(XKeySym key) {
    return {Kind::keys, key, true, false, false};
}
constexpr ClipboardKeys ctrlShift(XKeySym key) {
    return {Kind::keys, key, true, true, false};
}
constexpr ClipboardKeys ctrlAlt(XKeySym key) {
    return {Kind::keys, key, true, false, true};
}

struct Habit {
    std::string_view windowClass; // lower case
    ClipboardKeys paste;
    ClipboardKeys copy;
};

constexpr Habit terminals[] = {
    {"gnome-terminal", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"gnome-terminal-server", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"konsole", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"xfce4-terminal", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"mate-terminal", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"lxterminal", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"qterminal", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"tilix", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"terminator", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"sakura", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"kitty", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"alacritty", ctrlShift(XK_v), ctrlShift(XK_c)},
    // WezTerm names its windows by its reverse-domain id.
    {"org.wezfurlong.wezterm", ctrlShift(XK_v), ctrlShift(XK_c)},
    {"wezterm", ctrlShift(XK_v), ctrlShift(XK_c)},
    // st's own bindings for the clipboard (Shift+Insert there is PRIMARY).
    {"st-256color", ctrlShift(XK_v), ctrlShift(XK_c)},
    // xterm binds no key to the CLIPBOARD: Shift+Insert inserts PRIMARY (or a cut buffer), and
    // selecting text fills PRIMARY rather than CLIPBOARD. Typing the clipboard's text works
    // whatever the user's resources say; a copy has no key, so {selection} is empty there.
    {"xterm", {Kind::typeClipboard}, {Kind::none}},
    {"uxterm", {Kind::typeClipboard}, {Kind::none}},
    // rxvt-unicode (9.20 and later) binds Ctrl+Meta+V and Ctrl+Meta+C to the CLIPBOARD, and
    // Meta is Alt there.
    {"urxvt", ctrlAlt(XK_v), ctrlAlt(XK_c)},
    {"rxvt-unicode", ctrlAlt(XK_v), ctrlAlt(XK_c)},
};

bool equalsIgnoringCase(std::string_view a, std::string_view lower) {
    return a.size() == lower.size() &&
           std::equal(a.begin(), a.end(), lower.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == y;
           });
}

} // namespace

ClipboardKeys clipboardKeysFor(std::string_view windowClass, ClipboardAction action) {
    for (const Habit& habit : terminals) {
        if (equalsIgnoringCase(windowClass, habit.windowClass)) {
            return action == ClipboardAction::paste ? habit.paste : habit.copy;
        }
    }
    return ctrl(action == ClipboardAction::paste ? XK_v : XK_c);
}

} // namespace quillo::linuxdesktop
