// A keyboard of the program's own beside the desktop's, for the keys it types.
//
// While an expansion writes, the core keyboard is held (grabbed), so that what the user types,
// on a keyboard or through XTEST (on-screen keyboards, remote desktops, xdotool), waits for the
// expansion's end. A grab of the core keyboard would catch the program's own XTEST keys too, so
// those are typed on an XInput 2 master keyboard of its own, focused on the window the user types
// into, which no grab of the core keyboard touches. Its modifiers are its own as well: a Ctrl the
// user still holds after a hotkey cannot turn the paste into another command.
//
// XInput 2 pairs every master keyboard with a master pointer, and a master pointer has a cursor
// of its own: it is parked in a corner and grabbed with an invisible cursor, so that nothing of it
// shows.
#pragma once

#include "platform/linux/XlibHeaders.h"

#include <memory>

namespace quillo::linuxdesktop {

class X11OwnKeyboard {
  public:
    // The name XInput 2 shows; devices of that name left by a crashed run are taken over.
    static constexpr const char* name = "Quillo";

    // Adds the master pair on `display` (a main-thread connection). None when the X server has
    // no XInput 2 or refuses the new devices.
    static std::unique_ptr<X11OwnKeyboard> create(Display* display);
    // Removes the pair.
    ~X11OwnKeyboard();
    X11OwnKeyboard(const X11OwnKeyboard&) = delete;
    X11OwnKeyboard& operator=(const X11OwnKeyboard&) = delete;

    // The master keyboard, and its device that XTEST types on.
    int keyboard() const { return keyboard_; }
    int xtestKeyboard() const { return xtestKeyboard_; }

    // Gives the keyboard the focus of the desktop's own keyboard, and returns that window (the
    // deepest window under the pointer when the focus follows the pointer); None when there is
    // none. Called whenever the desktop's focus moves, so that its keys are where the user's go
    // before an expansion needs them.
    Window followFocus();

  private:
    X11OwnKeyboard(Display* display, int keyboard, int pointer, int xtestKeyboard);
    void hidePointer();

    Display* display_;
    int keyboard_;
    int pointer_;
    int xtestKeyboard_;
    int desktopKeyboard_;
    Cursor invisible_ = 0;
};

} // namespace quillo::linuxdesktop
