#include "platform/linux/ClipboardKeys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

using quillo::linuxdesktop::ClipboardAction;
using quillo::linuxdesktop::ClipboardKeys;
using quillo::linuxdesktop::clipboardKeysFor;
using Kind = ClipboardKeys::Kind;

constexpr ClipboardKeys ctrl(unsigned key) {
    return {Kind::keys, key, true, false, false};
}
constexpr ClipboardKeys ctrlShift(unsigned key) {
    return {Kind::keys, key, true, true, false};
}

struct Case {
    const char* windowClass;
    ClipboardAction action;
    ClipboardKeys keys;
};

TEST(ClipboardKeys, EachApplicationGetsItsOwnPasteAndCopyKeys) {
    const Case cases[] = {
        {"Zenity", ClipboardAction::paste, ctrl(XK_v)},
        {"Zenity", ClipboardAction::copy, ctrl(XK_c)},
        {"", ClipboardAction::paste, ctrl(XK_v)},
        {"Gnome-terminal", ClipboardAction::paste, ctrlShift(XK_v)},
        {"Gnome-terminal", ClipboardAction::copy, ctrlShift(XK_c)},
        {"KONSOLE", ClipboardAction::paste, ctrlShift(XK_v)},
        {"kitty", ClipboardAction::copy, ctrlShift(XK_c)},
        {"Alacritty", ClipboardAction::paste, ctrlShift(XK_v)},
        {"org.wezfurlong.wezterm", ClipboardAction::paste, ctrlShift(XK_v)},
        {"XTerm", ClipboardAction::paste, {Kind::typeClipboard}},
        {"XTerm", ClipboardAction::copy, {Kind::none}},
        {"URxvt", ClipboardAction::paste, {Kind::keys, XK_v, true, false, true}},
        // Only the whole class counts.
        {"Gnome-terminal-clone", ClipboardAction::paste, ctrl(XK_v)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windowClass);
        EXPECT_EQ(clipboardKeysFor(c.windowClass, c.action), c.keys);
    }
}

} // namespace
