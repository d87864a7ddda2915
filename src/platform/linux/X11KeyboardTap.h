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
// The grabs follow the list given to setGrabbedHotkeys() and the keyboard mapping.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/X11Keymap.h"
#include "platform/linux/XlibHeaders.h"

#include <QObject>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace quillo::x11 {

class X11Connection;
class X11SecureInput;

class X11KeyboardTap : public QObject, public platform::KeyboardTap {
  public:
    // `secureInput` is told of the keyboard grabs of other clients, if given.
    X11KeyboardTap(X11Connection& connection, X11Keymap& keymap, X11SecureInput* secureInput);
    ~X11KeyboardTap() override;

    bool start(Handler handler) override;
    bool isRunning() const { return context_ != 0; }

    // The hotkeys to grab, in the seam's encoding. Combinations the server cannot express (a key
    // it does not have, Super on a server without it) are left out; one that another program
    // holds is reported once on standard output.
    void setGrabbedHotkeys(std::vector<std::pair<platform::KeyCode, platform::EventFlags>> hotkeys);

  private:
    struct Grab {
        XKeyCode keyCode;
        unsigned modifiers;
        bool operator<(const Grab& other) const {
            return std::pair(keyCode, modifiers) < std::pair(other.keyCode, other.modifiers);
        }
        bool operator==(const Grab&) const = default;
    };

    static void recorded(XPointer self, XRecordInterceptData* data);
    void onRecorded(const XRecordInterceptData& data);
    void onDeviceEvent(int type, XKeyCode keyCode, unsigned state);
    void onConnectionEvent(XEvent& event);
    void onGrabbedPress(const XKeyEvent& event);
    bool isGrabbed(XKeyCode keyCode, unsigned state) const;
    void keyboardChanged();
    void regrab();
    std::vector<unsigned> variants(unsigned modifiers) const;
    std::string describe(const Grab& grab) const;
    void stop();

    X11Connection& connection_;
    X11Keymap& keymap_;
    X11SecureInput* secureInput_;
    Handler handler_;

    Display* data_ = nullptr;
    XRecordContext context_ = 0;
    std::unique_ptr<QSocketNotifier> dataNotifier_;
    int xiOpcode_ = -1;

    // Per client, whether its last grab request was an XInput 2 one: the replies differ.
    std::map<XID, bool> pendingGrabs_;

    std::vector<std::pair<platform::KeyCode, platform::EventFlags>> hotkeys_;
    std::set<Grab> grabs_;
    std::set<std::string> reportedConflicts_;
};

} // namespace quillo::x11
