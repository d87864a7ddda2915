// Secure input on X11: on while another program holds an active grab of the keyboard, which is
// what password prompts (pinentry, ssh-askpass, polkit agents) do so that no other client reads
// the password.
//
// X tells no client of another client's grab, and focus events are not enough: a prompt that
// grabs the window that already has the focus causes none. So the keyboard tap's recording also
// carries the grab requests of every client (core GrabKeyboard and XInput 2 XIGrabDevice on a
// keyboard), their replies, the matching ungrab requests and the end of clients; this object
// keeps the set of clients that hold a grab, and the answer is a look at that set.
//
// A grab can also end without a request (its window unmapped), so while the set is not empty the
// object checks once a second whether the keyboard can be grabbed, and forgets the holders when
// it can.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/XlibHeaders.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <set>

namespace quillo::linuxdesktop {

class X11Connection;

class X11SecureInput : public QObject, public platform::SecureInput {
  public:
    explicit X11SecureInput(X11Connection& connection);
    bool isSecureInputEnabled() const override { return !holders_.empty(); }

    // What the recording saw. A client is named by its resource id base. `xiDevice` is the device
    // of an XInput 2 request, none for the core requests (which always mean the keyboard).
    void grabRequested(XID client, std::optional<int> xiDevice);
    void grabReplied(XID client, bool granted);
    void ungrabRequested(XID client, std::optional<int> xiDevice);
    void clientGone(XID client);
    // While this program itself holds the keyboard (an expansion), grabs can't be probed.
    void setOwnHold(bool holding) { ownHold_ = holding; }

  private:
    bool isKeyboard(int xiDevice);
    void checkStillGrabbed();

    X11Connection& connection_;
    XID ownClient_;
    std::map<XID, bool> pending_; // client -> the grab it asked for is of the keyboard
    std::set<XID> holders_;
    std::map<int, bool> keyboards_; // XInput 2 device -> is a keyboard
    QTimer staleCheck_;
    bool ownHold_ = false;
};

} // namespace quillo::linuxdesktop
