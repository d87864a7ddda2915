// Synthetic key presses on X11, through the XTEST extension.
//
// A key with a Mac code is pressed with the X key at the same place and the modifier keys its
// flags name around it. Command-V and Command-C, the replacer's "paste" and "copy", become the
// focused application's own keys (see ClipboardKeys). A key event with text types that text: a
// character the layout has is typed with its key and the Shift or AltGr level it needs, one the
// layout lacks through a spare key code that is lent the character's symbol for a while.
//
// The modifiers the user still holds (a hotkey's own Ctrl and Alt) are released before each
// synthetic key, so that no Backspace, arrow or paste comes out modified. They are not pressed
// again afterwards: by then the user has usually let go, and a modifier pressed again by this
// program after the user let go would stay stuck down until pressed once more.
//
// Called on the background worker; the poster has its own connection, opened on first use, and
// a lock makes it safe from any thread.
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

namespace quillo::x11 {

class XTestEventPoster final : public platform::EventPoster {
  public:
    // Reads the clipboard's text, for the applications where no key pastes it.
    using ClipboardReader = std::function<std::optional<std::string>()>;

    explicit XTestEventPoster(ClipboardReader clipboardText);
    ~XTestEventPoster() override;

    void post(const platform::KeyEvent& event) override;
    // From now on every event is dropped: the program is quitting.
    void stop() { stopped_ = true; }

  private:
    bool ensureOpen();
    void readEvents();
    void releaseHeldModifiers();
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

} // namespace quillo::x11
