// The keyboard tap of an X11 desktop.
//
// Every key press and release of the display is read through the RECORD extension, on a
// connection of its own that the main loop reads when it has data, so events reach the handler
// on the main thread in the order the server saw them. Key-downs and modifier changes go to the
// handler in the seam's Mac encoding.
//
// RECORD only watches: the focused window gets every event whatever the handler answers. A key
// that the handler may want to withhold, a hotkey, is therefore grabbed on the root window,
// synchronously, so that the keyboard waits for the answer: a withheld key-down is dropped and
// the grab given up, any other is replayed to the focused window as if nothing had happened. Such
// a key-down also appears in the recording; there it is skipped, so that the handler sees it once.
//
// The grabs follow the list given to setHotkeys() and the keyboard mapping.
//
// The hold of an expansion is an active grab of the core keyboard: from then on the user's keys
// come to this program on the control connection, and reach the handler from there; the
// recording, which also shows the program's own keys (typed on its own keyboard, see
// X11OwnKeyboard), is not read for keys until the grab is given up. The recording carries the
// program's own grab and ungrab requests in their place among the key events, which tells
// exactly which keys reached the application before the hold took effect, and when the keys in
// the recording are the user's again. The recording also carries the presses of the mouse
// buttons (left, middle, right) and the focus moving to another window.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/X11Keymap.h"
#include "platform/linux/XlibHeaders.h"

#include <QObject>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace quillo::linuxdesktop {

class X11Connection;
class X11OwnKeyboard;
class X11SecureInput;
class XTestEventPoster;

class X11KeyboardTap : public QObject, public platform::KeyboardTap {
  public:
    // `secureInput` is told of the keyboard grabs of other clients, if given. Without
    // `ownKeyboard` and `poster` (a server without XInput 2) the keyboard is never held.
    X11KeyboardTap(X11Connection& connection, X11Keymap& keymap, X11SecureInput* secureInput,
                   X11OwnKeyboard* ownKeyboard, XTestEventPoster* poster);
    ~X11KeyboardTap() override;

    bool start(Handler handler) override;
    bool isRunning() const { return context_ != 0; }
    void beginHold(std::function<void(bool held)> established) override;
    void replay(const platform::KeyEvent& event) override;
    void endHold() override;
    // The window the program's own keys went to at the last hold: the one it pastes into.
    Window pasteTarget() const { return pasteTarget_; }

    // Grabs the hotkeys. Combinations the server cannot express (a key it does not have, Super on
    // a server without it) are left out; one that another program holds is reported once on
    // standard output.
    void setHotkeys(std::vector<platform::Hotkey> hotkeys) override;

  private:
    struct Grab {
        XKeyCode keyCode;
        unsigned modifiers;
        bool operator<(const Grab& other) const {
            return std::pair(keyCode, modifiers) < std::pair(other.keyCode, other.modifiers);
        }
        bool operator==(const Grab&) const = default;
    };

    // Where the hold is. The recording shows this program's own grab and ungrab requests where
    // the server handled them, which moves it from one phase to the next.
    enum class Phase {
        idle,      // no hold: the recording's keys are the user's
        asked,     // grabbed, the grab not yet seen in the recording: its keys reached the
                   // application; the grab's keys wait for the hold to be established
        holding,   // the grab's keys are the user's, the recording's are not read
        releasing, // ungrabbed, the ungrab not yet seen in the recording
        cancelled, // given up before it was established
    };

    static void recorded(XPointer self, XRecordInterceptData* data);
    void onRecorded(const XRecordInterceptData& data);
    void onOwnRequest(unsigned char request);
    void onDeviceEvent(int type, XKeyCode keyCode, unsigned state);
    void onPointerOrFocus(int type, const unsigned char* bytes);
    // The seam's event for an X key press or release; `state` is the one before it.
    platform::KeyEvent keyEvent(int type, XKeyCode keyCode, unsigned state) const;
    void onConnectionEvent(XEvent& event);
    void onGrabbedPress(const XKeyEvent& event);
    void onHeldKey(const XKeyEvent& event);
    // A key the user typed that the grab kept from the application while no hold is in force
    // any more: it is handled as typed and handed on.
    void passOn(const platform::KeyEvent& event);
    // Hands the key to the application; true when it was sent.
    bool post(const platform::KeyEvent& event);
    bool isGrabbed(XKeyCode keyCode, unsigned state) const;
    void keyboardChanged();
    void regrab();
    std::vector<unsigned> variants(unsigned modifiers) const;
    std::string describe(const Grab& grab) const;
    void stop();

    X11Connection& connection_;
    X11Keymap& keymap_;
    X11SecureInput* secureInput_;
    X11OwnKeyboard* ownKeyboard_;
    XTestEventPoster* poster_;
    Handler handler_;
    // This program's client, as the recording names it.
    XID ownClient_ = 0;

    Phase phase_ = Phase::idle;
    std::function<void(bool)> established_;
    // A hold asked for while the last one was still being given up: taken once it is.
    std::function<void(bool)> deferred_;
    std::deque<platform::KeyEvent> waiting_; // the grab's keys before the hold is established
    // Keys handed on while the recording is read: their copies come back through it and are
    // not the user's typing a second time. Each is the event type and the key.
    std::deque<std::pair<int, XKeyCode>> echoes_;
    Window pasteTarget_ = None;

    Display* data_ = nullptr;
    XRecordContext context_ = 0;
    std::unique_ptr<QSocketNotifier> dataNotifier_;
    int xiOpcode_ = -1;

    // Per client, whether its last grab request was an XInput 2 one: the replies differ.
    std::map<XID, bool> pendingGrabs_;

    std::vector<platform::Hotkey> hotkeys_;
    std::set<Grab> grabs_;
    std::set<std::string> reportedConflicts_;
};

} // namespace quillo::linuxdesktop
