#include "platform/linux/X11KeyboardTap.h"

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11SecureInput.h"
#include "platform/linux/XlibHeaders.h"

#include <QSocketNotifier>
#include <cstring>
#include <iostream>

namespace quillo::x11 {

namespace {

using platform::KeyEvent;
using platform::KeyEventType;

// The modifier bits of an event's state; above them are the pointer buttons and the XKB group.
constexpr unsigned modifierBits = 0xFF;

std::uint16_t readCard16(const unsigned char* data, bool swapped) {
    std::uint16_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return swapped ? static_cast<std::uint16_t>((value >> 8) | (value << 8)) : value;
}

} // namespace

X11KeyboardTap::X11KeyboardTap(X11Connection& connection, X11Keymap& keymap,
                               X11SecureInput* secureInput)
    : connection_(connection), keymap_(keymap), secureInput_(secureInput) {
    connection_.addListener([this](XEvent& event) { onConnectionEvent(event); });
    int event = 0;
    int error = 0;
    if (!XQueryExtension(connection_.display(), "XInputExtension", &xiOpcode_, &event, &error)) {
        xiOpcode_ = -1;
    }
}

X11KeyboardTap::~X11KeyboardTap() {
    stop();
}

bool X11KeyboardTap::start(Handler handler) {
    handler_ = std::move(handler);
    if (context_ != 0) {
        return true;
    }
    Display* control = connection_.display();
    int major = 0;
    int minor = 0;
    if (!XRecordQueryVersion(control, &major, &minor)) {
        return false;
    }
    XRecordRange* range = XRecordAllocRange();
    if (range == nullptr) {
        return false;
    }
    range->device_events.first = KeyPress;
    range->device_events.last = KeyRelease;
    range->core_requests.first = X_GrabKeyboard;
    range->core_requests.last = X_UngrabKeyboard;
    range->core_replies.first = X_GrabKeyboard;
    range->core_replies.last = X_GrabKeyboard;
    if (xiOpcode_ > 0) {
        const auto xi = static_cast<unsigned char>(xiOpcode_);
        range->ext_requests.ext_major = {xi, xi};
        range->ext_requests.ext_minor = {X_XIGrabDevice, X_XIUngrabDevice};
        range->ext_replies.ext_major = {xi, xi};
        range->ext_replies.ext_minor = {X_XIGrabDevice, X_XIGrabDevice};
    }
    range->client_died = True;
    XRecordClientSpec clients = XRecordAllClients;
    X11ErrorTrap trap(control);
    const XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    if (trap.sync() != Success || context == 0) {
        return false;
    }

    // The recording is read on a connection that makes no other request: an enabled context
    // keeps its connection busy for good.
    data_ = XOpenDisplay(DisplayString(control));
    if (data_ == nullptr || !XRecordEnableContextAsync(data_, context, &X11KeyboardTap::recorded,
                                                       reinterpret_cast<XPointer>(this))) {
        XRecordFreeContext(control, context);
        if (data_ != nullptr) {
            XCloseDisplay(data_);
            data_ = nullptr;
        }
        return false;
    }
    context_ = context;
    dataNotifier_ =
        std::make_unique<QSocketNotifier>(ConnectionNumber(data_), QSocketNotifier::Read);
    connect(dataNotifier_.get(), &QSocketNotifier::activated, this,
            [this] { XRecordProcessReplies(data_); });
    XRecordProcessReplies(data_);
    regrab();
    return true;
}

void X11KeyboardTap::stop() {
    Display* control = connection_.display();
    for (const Grab& grab : grabs_) {
        for (const unsigned modifiers : variants(grab.modifiers)) {
            XUngrabKey(control, grab.keyCode, modifiers, connection_.root());
        }
    }
    grabs_.clear();
    if (context_ != 0) {
        dataNotifier_.reset();
        XRecordDisableContext(control, context_);
        XRecordFreeContext(control, context_);
        XSync(control, False);
        context_ = 0;
    }
    if (data_ != nullptr) {
        XCloseDisplay(data_);
        data_ = nullptr;
    }
    XFlush(control);
}

// --- The recording -------------------------------------------------------------------------

void X11KeyboardTap::recorded(XPointer self, XRecordInterceptData* data) {
    reinterpret_cast<X11KeyboardTap*>(self)->onRecorded(*data);
    XRecordFreeData(data);
}

void X11KeyboardTap::onRecorded(const XRecordInterceptData& data) {
    const unsigned char* bytes = data.data;
    const std::size_t length = data.data_len * 4;
    switch (data.category) {
    case XRecordFromServer:
        if (length < 32) {
            return;
        }
        if ((bytes[0] & 0x7F) == KeyPress || (bytes[0] & 0x7F) == KeyRelease) {
            // Device events come in this connection's own byte order.
            onDeviceEvent(bytes[0] & 0x7F, bytes[1], readCard16(bytes + 28, false));
        } else if (bytes[0] == X_Reply && secureInput_ != nullptr) {
            auto& pending = pendingGrabs_;
            const auto it = pending.find(data.id_base);
            if (it != pending.end()) {
                const unsigned char status = it->second ? bytes[8] : bytes[1];
                pending.erase(it);
                secureInput_->grabReplied(data.id_base, status == GrabSuccess);
            }
        }
        break;
    case XRecordFromClient: {
        if (secureInput_ == nullptr || length < 4) {
            return;
        }
        const bool swapped = data.client_swapped;
        if (bytes[0] == X_GrabKeyboard) {
            pendingGrabs_[data.id_base] = false;
            secureInput_->grabRequested(data.id_base, std::nullopt);
        } else if (bytes[0] == X_UngrabKeyboard) {
            secureInput_->ungrabRequested(data.id_base, std::nullopt);
        } else if (xiOpcode_ > 0 && bytes[0] == xiOpcode_) {
            if (bytes[1] == X_XIGrabDevice && length >= 18) {
                pendingGrabs_[data.id_base] = true;
                secureInput_->grabRequested(data.id_base, readCard16(bytes + 16, swapped));
            } else if (bytes[1] == X_XIUngrabDevice && length >= 10) {
                secureInput_->ungrabRequested(data.id_base, readCard16(bytes + 8, swapped));
            }
        }
        break;
    }
    case XRecordClientDied:
        pendingGrabs_.erase(data.id_base);
        if (secureInput_ != nullptr) {
            secureInput_->clientGone(data.id_base);
        }
        break;
    default:
        break;
    }
}

void X11KeyboardTap::onDeviceEvent(int type, XKeyCode keyCode, unsigned state) {
    if (!handler_) {
        return;
    }
    KeyEvent event;
    event.keyCode = keymap_.macKeyFor(keyCode);
    if (const unsigned bit = keymap_.modifierBitOf(keyCode); bit != 0) {
        // The state is the one before the event: a modifier change is reported with the
        // modifiers as they are after it. Lock keys change their bit on the press only.
        unsigned after = state & modifierBits;
        if (bit == LockMask || bit == keymap_.roles().numLock) {
            after = type == KeyPress ? after ^ bit : after;
        } else {
            after = type == KeyPress ? after | bit : after & ~bit;
        }
        event.type = KeyEventType::flagsChanged;
        event.flags = keymap_.flagsFor(after);
        handler_(event);
        return;
    }
    // The grab hands this key-down over on the other connection.
    if (type != KeyPress || isGrabbed(keyCode, state)) {
        return;
    }
    event.type = KeyEventType::keyDown;
    event.flags = keymap_.flagsFor(state & modifierBits);
    event.setText(keymap_.textFor(keyCode, state));
    handler_(event);
}

// --- The grabs -----------------------------------------------------------------------------

void X11KeyboardTap::onConnectionEvent(XEvent& event) {
    if (event.type == KeyPress) {
        onGrabbedPress(event.xkey);
    } else if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request != MappingPointer) {
            keyboardChanged();
        }
    } else if (connection_.xkbEventBase() >= 0 && event.type == connection_.xkbEventBase()) {
        const auto& xkb = reinterpret_cast<const XkbAnyEvent&>(event);
        if (xkb.xkb_type == XkbMapNotify) {
            XkbRefreshKeyboardMapping(reinterpret_cast<XkbMapNotifyEvent*>(&event));
            keyboardChanged();
        } else if (xkb.xkb_type == XkbNewKeyboardNotify) {
            keyboardChanged();
        }
    }
}

void X11KeyboardTap::onGrabbedPress(const XKeyEvent& press) {
    Display* control = connection_.display();
    bool withhold = false;
    if (handler_) {
        KeyEvent event;
        event.type = KeyEventType::keyDown;
        event.keyCode = keymap_.macKeyFor(static_cast<XKeyCode>(press.keycode));
        event.flags = keymap_.flagsFor(press.state & modifierBits);
        event.setText(keymap_.textFor(static_cast<XKeyCode>(press.keycode), press.state));
        withhold = handler_(event);
    }
    if (withhold) {
        // Giving the grab up at once lets the keys typed after the hotkey reach the application
        // rather than this program; the hotkey's own release reaches it too, as a stray release.
        XAllowEvents(control, AsyncKeyboard, press.time);
        XUngrabKeyboard(control, press.time);
    } else {
        XAllowEvents(control, ReplayKeyboard, press.time);
    }
    XFlush(control);
}

bool X11KeyboardTap::isGrabbed(XKeyCode keyCode, unsigned state) const {
    const unsigned ignored = LockMask | keymap_.roles().numLock;
    return grabs_.contains(Grab{keyCode, state & modifierBits & ~ignored});
}

void X11KeyboardTap::setGrabbedHotkeys(
    std::vector<std::pair<platform::KeyCode, platform::EventFlags>> hotkeys) {
    hotkeys_ = std::move(hotkeys);
    if (context_ != 0) {
        regrab();
    }
}

void X11KeyboardTap::keyboardChanged() {
    keymap_.refresh();
    if (context_ != 0) {
        regrab();
    }
}

std::vector<unsigned> X11KeyboardTap::variants(unsigned modifiers) const {
    // A passive grab matches the exact modifier state, so Caps Lock and Num Lock, which the
    // engine ignores, need grabs of their own.
    std::vector<unsigned> all = {modifiers, modifiers | LockMask};
    if (const unsigned numLock = keymap_.roles().numLock; numLock != 0) {
        all.push_back(modifiers | numLock);
        all.push_back(modifiers | numLock | LockMask);
    }
    return all;
}

void X11KeyboardTap::regrab() {
    std::set<Grab> wanted;
    for (const auto& [macKey, flags] : hotkeys_) {
        // A mask with other bits than the four modifiers can never equal an event's.
        if ((flags & ~platform::flag::modifierMask) != 0) {
            continue;
        }
        const auto keyCode = keymap_.keyCodeFor(macKey);
        const auto modifiers = stateForMacFlags(flags, keymap_.roles());
        if (keyCode && modifiers) {
            wanted.insert(Grab{*keyCode, *modifiers});
        }
    }
    if (wanted == grabs_) {
        return;
    }
    Display* control = connection_.display();
    const Window root = connection_.root();
    for (const Grab& grab : grabs_) {
        for (const unsigned modifiers : variants(grab.modifiers)) {
            XUngrabKey(control, grab.keyCode, modifiers, root);
        }
    }
    grabs_.clear();
    for (const Grab& grab : wanted) {
        X11ErrorTrap trap(control);
        for (const unsigned modifiers : variants(grab.modifiers)) {
            XGrabKey(control, grab.keyCode, modifiers, root, False, GrabModeAsync, GrabModeSync);
        }
        if (trap.sync() == Success) {
            grabs_.insert(grab);
            continue;
        }
        // Another client holds one of the variants: give back the ones this client got, so
        // that the combination behaves the same with and without Caps Lock.
        for (const unsigned modifiers : variants(grab.modifiers)) {
            XUngrabKey(control, grab.keyCode, modifiers, root);
        }
        const std::string name = describe(grab);
        if (reportedConflicts_.insert(name).second) {
            std::cout << "Hotkey " << name
                      << " is taken by another program; it will not expand here." << std::endl;
        }
    }
    XFlush(control);
}

std::string X11KeyboardTap::describe(const Grab& grab) const {
    std::string name;
    const auto& roles = keymap_.roles();
    if (grab.modifiers & ControlMask) {
        name += "Ctrl+";
    }
    if (roles.alt != 0 && (grab.modifiers & roles.alt)) {
        name += "Alt+";
    }
    if (grab.modifiers & ShiftMask) {
        name += "Shift+";
    }
    if (roles.super != 0 && (grab.modifiers & roles.super)) {
        name += "Super+";
    }
    const KeySym keySym = XkbKeycodeToKeysym(connection_.display(), grab.keyCode, 0, 0);
    KeySym lower = NoSymbol;
    KeySym upper = NoSymbol;
    XConvertCase(keySym, &lower, &upper);
    const char* symbol = XKeysymToString(upper);
    name += symbol != nullptr ? symbol : "key " + std::to_string(grab.keyCode);
    return name;
}

} // namespace quillo::x11
