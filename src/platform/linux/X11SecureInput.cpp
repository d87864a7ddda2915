#include "platform/linux/X11SecureInput.h"

#include "platform/linux/X11Connection.h"
#include "platform/linux/XlibHeaders.h"

namespace quillo::linuxdesktop {

namespace {
constexpr int staleCheckIntervalMs = 1000;
}

X11SecureInput::X11SecureInput(X11Connection& connection)
    : connection_(connection),
      ownClient_(XAllocID(connection.display()) & XRecordIdBaseMask(connection.display())) {
    // XInput 2 requests need the version agreed first; without XInput 2 there are no such
    // grabs to ask about.
    X11ErrorTrap trap(connection.display());
    int major = 2;
    int minor = 0;
    XIQueryVersion(connection.display(), &major, &minor);
    trap.sync();
    staleCheck_.setInterval(staleCheckIntervalMs);
    connect(&staleCheck_, &QTimer::timeout, this, [this] { checkStillGrabbed(); });
}

void X11SecureInput::grabRequested(XID client, std::optional<int> xiDevice) {
    // The probe below is this program's own grab.
    if (client == ownClient_) {
        return;
    }
    pending_[client] = !xiDevice || isKeyboard(*xiDevice);
}

void X11SecureInput::grabReplied(XID client, bool granted) {
    const auto it = pending_.find(client);
    if (it == pending_.end()) {
        return;
    }
    if (granted && it->second) {
        holders_.insert(client);
        staleCheck_.start();
    }
    pending_.erase(it);
}

void X11SecureInput::ungrabRequested(XID client, std::optional<int> xiDevice) {
    if (!xiDevice || isKeyboard(*xiDevice)) {
        holders_.erase(client);
    }
    if (holders_.empty()) {
        staleCheck_.stop();
    }
}

void X11SecureInput::clientGone(XID client) {
    pending_.erase(client);
    holders_.erase(client);
    if (holders_.empty()) {
        staleCheck_.stop();
    }
}

bool X11SecureInput::isKeyboard(int xiDevice) {
    if (const auto known = keyboards_.find(xiDevice); known != keyboards_.end()) {
        return known->second;
    }
    Display* display = connection_.display();
    X11ErrorTrap trap(display);
    int count = 0;
    bool keyboard = false;
    if (XIDeviceInfo* info = XIQueryDevice(display, xiDevice, &count)) {
        keyboard = count > 0 && (info[0].use == XIMasterKeyboard || info[0].use == XISlaveKeyboard);
        XIFreeDeviceInfo(info);
    }
    trap.sync();
    keyboards_[xiDevice] = keyboard;
    return keyboard;
}

void X11SecureInput::checkStillGrabbed() {
    // A probe would take over this program's own grab and give it up.
    if (ownHold_) {
        return;
    }
    Display* display = connection_.display();
    const int status = XGrabKeyboard(display, connection_.root(), False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    if (status == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime);
        XFlush(display);
        holders_.clear();
        pending_.clear();
        staleCheck_.stop();
    }
}

} // namespace quillo::linuxdesktop
