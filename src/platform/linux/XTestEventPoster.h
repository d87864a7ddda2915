// Synthetic key presses on X11, through the XTEST extension.
//
// A key with a Mac code is pressed with the X key at the same place and the modifier keys its
// flags name around it. Command-V and Command-C, the replacer's "paste" and "copy", become the
// focused application's own keys (see ClipboardKeys). A key event with text types that text: a
// character the layout has is typed with its key and the Shift or AltGr level it needs, one the
// layout lacks through a spare key code that is lent the character's symbol for a while.
//
// The keys go out on the program's own keyboard (X11OwnKeyboard) when the server gives it one:
// its modifiers are its own, so the ones the user still holds (a hotkey's Ctrl and Alt) do not
// reach the keys typed. Without it they go out on the core keyboard, and the modifiers the user
// holds are released before each synthetic key; they are not pressed again afterwards: by then
// the user has usually let go, and a modifier pressed again by this program after the user let
// go would stay stuck down until pressed once more.
//
// Called on the background worker, and on the main thread to hand the keys a hold kept from the
// application to it; the poster has its own connection, opened on first use, and a lock makes
// it safe from any thread.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/ClipboardKeys.h"
#include "platform/linux/X11Keymap.h"
#include "platform/linux/XlibHeaders.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillo::linuxdesktop {

class XTestEventPoster final : public platform::EventPoster {
  public:
    // Reads the clipboard's text, for the applications where no key pastes it.
    using ClipboardReader = std::function<std::optional<std::string>()>;

    explicit XTestEventPoster(ClipboardReader clipboardText);
    ~XTestEventPoster() override;

    void post(const platform::KeyEvent& event) override;
    platform::OutputTiming timing() const override;
    // From now on every event is dropped: the program is quitting.
    void stop() { stopped_ = true; }

    // Types on this XInput device (the XTEST keyboard of the program's own master keyboard,
    // `master`) instead of the core keyboard; call before the first event.
    void useKeyboard(int xtestDevice, int master) {
        ownDevice_ = xtestDevice;
        ownMaster_ = master;
    }
    // Presses or releases the X key, as a key the user typed during a hold comes out; a press
    // comes with the modifiers of `userState` (the state the user's event had) and no others.
    // False when nothing was sent: a release of a key this poster does not hold down.
    bool replay(XKeyCode keyCode, bool press, unsigned userState);
    // Releases whatever keys this poster still holds down, and waits until the server has
    // handled every event sent: what comes after, on another connection, comes after them.
    void settle();

  private:
    bool ensureOpen();
    void readEvents();
    void releaseHeldModifiers();
    void matchModifiers(unsigned userState);
    void releaseReplayed();
    void fake(XKeyCode keyCode, bool press);
    void keyDown(const platform::KeyEvent& event);
    void keyUp();
    void pressClipboardKeys(ClipboardAction action);
    void pressDown(XKeyCode keyCode, unsigned modifiers);
    void typeText(std::u16string_view units);
    void typeCharacter(char32_t character);
    void typeWithSpareKey(char32_t character);
    void returnSpareKeys(bool all);
    int currentGroup(bool* capsLock);

    ClipboardReader clipboardText_;
    std::mutex mutex_;
    Display* display_ = nullptr;
    std::optional<int> ownDevice_;
    std::optional<int> ownMaster_;
    XDevice* device_ = nullptr;
    // Keys this poster has pressed and not released, on its own keyboard.
    std::vector<XKeyCode> down_;
    std::unique_ptr<X11Keymap> keymap_;
    std::atomic<bool> stopped_ = false;
    // The keys the last key-down pressed, released by its key-up in reverse order.
    std::vector<XKeyCode> held_;
    char16_t pendingLead_ = 0;

    struct LentKey {
        XKeyCode keyCode;
        std::chrono::steady_clock::time_point since;
    };
    std::vector<LentKey> lent_;
    std::size_t nextSpare_ = 0;
};

} // namespace quillo::linuxdesktop
