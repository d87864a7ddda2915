#include "platform/linux/X11KeyboardTap.h"

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11OwnKeyboard.h"
#include "platform/linux/X11SecureInput.h"
#include "platform/linux/XTestEventPoster.h"
#include "platform/linux/XlibHeaders.h"

#include <QSocketNotifier>
#include <cstring>
#include <iostream>

namespace quillo::linuxdesktop {

namespace {

using platform::KeyEvent;
using platform::KeyEventType;

// The modifier bits of an event's state; above them are the pointer buttons and the XKB group.
constexpr unsigned modifierBits = 0xFF;

// How a key event of the user is kept for a replay: its X key code, whether it was a press, and
// the modifiers that were down.
std::uint32_t nativeOf(XKeyCode keyCode, bool press, unsigned state) {
    return keyCode | (press ? 0x100u : 0u) | ((state & modifierBits) << 16);
}

std::uint16_t readCard16(const unsigned char* data, bool swapped) {
    std::uint16_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return swapped ? static_cast<std::uint16_t>((value >> 8) | (value << 8)) : value;
}

} // namespace

X11KeyboardTap::X11KeyboardTap(X11Connection& connection, X11Keymap& keymap,
                               X11SecureInput* secureInput, X11OwnKeyboard* ownKeyboard,
                               XTestEventPoster* poster)
    : connection_(connection), keymap_(keymap), secureInput_(secureInput),
      ownKeyboard_(ownKeyboard), poster_(poster),
      ownClient_(XAllocID(connection.display()) & XRecordIdBaseMask(connection.display())) {
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
    range->device_events.last = ButtonPress;
    range->delivered_events.first = FocusIn;
    range->delivered_events.last = FocusIn;
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

// --- The hold ------------------------------------------------------------------------------

void X11KeyboardTap::beginHold(std::function<void(bool held)> established) {
    // Always answered from the event loop: a key the engine hands on in the same turn reaches
    // the application before the expansion that it started writes anything.
    const auto answer = [this](std::function<void(bool)> callback, bool held) {
        QMetaObject::invokeMethod(
            this, [callback = std::move(callback), held] { callback(held); }, Qt::QueuedConnection);
    };
    if (phase_ == Phase::holding) {
        answer(std::move(established), true);
        return;
    }
    if ((phase_ == Phase::releasing || phase_ == Phase::cancelled) && context_ != 0) {
        // A key that the last grab caught while it was being given up completed a shortcut.
        // Refused, the expansion would write while the keys typed after it reach the
        // application; it waits for the ungrab to be seen instead, a moment at most.
        if (deferred_) {
            answer(std::exchange(deferred_, {}), false);
        }
        deferred_ = std::move(established);
        return;
    }
    if (phase_ != Phase::idle || ownKeyboard_ == nullptr || poster_ == nullptr || context_ == 0) {
        answer(std::move(established), false);
        return;
    }
    Display* control = connection_.display();
    pasteTarget_ = ownKeyboard_->followFocus();
    // Grabbed on the focused window, the keyboard's focus stays where it is: the window is told
    // of the grab, but not of another window taking the focus, so its program goes on treating
    // the keys as its field's. (On the root window, GTK's input method took the program's own
    // keys meanwhile for another context's, and IBus let them overtake the user's.) A hotkey's
    // passive grab that delivered the trigger is taken over by this grab.
    const Window grabWindow = pasteTarget_ != None ? pasteTarget_ : connection_.root();
    const int status =
        XGrabKeyboard(control, grabWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status != GrabSuccess) {
        answer(std::move(established), false);
        return;
    }
    XFlush(control);
    phase_ = Phase::asked;
    established_ = std::move(established);
    if (secureInput_ != nullptr) {
        secureInput_->setOwnHold(true);
    }
}

void X11KeyboardTap::replay(const KeyEvent& event) {
    post(event);
}

bool X11KeyboardTap::post(const KeyEvent& event) {
    if (poster_ == nullptr || event.native == 0) {
        return false;
    }
    return poster_->replay(static_cast<XKeyCode>(event.native & 0xFF), (event.native & 0x100) != 0,
                           (event.native >> 16) & modifierBits);
}

void X11KeyboardTap::endHold() {
    if (auto deferred = std::exchange(deferred_, {})) {
        QMetaObject::invokeMethod(
            this, [deferred = std::move(deferred)] { deferred(false); }, Qt::QueuedConnection);
    }
    Display* control = connection_.display();
    if (phase_ == Phase::asked) {
        phase_ = Phase::cancelled;
        if (auto established = std::exchange(established_, {})) {
            QMetaObject::invokeMethod(
                this, [established = std::move(established)] { established(false); },
                Qt::QueuedConnection);
        }
    } else if (phase_ == Phase::holding) {
        phase_ = Phase::releasing;
    } else {
        return;
    }
    // The keys handed on go out on the poster's connection: they are the server's before the
    // keyboard is given back.
    poster_->settle();
    XUngrabKeyboard(control, CurrentTime);
    XFlush(control);
    if (secureInput_ != nullptr) {
        secureInput_->setOwnHold(false);
    }
}

void X11KeyboardTap::onOwnRequest(unsigned char request) {
    if (request == X_GrabKeyboard) {
        if (phase_ == Phase::asked) {
            // Every key the recording showed before this reached the application and has been
            // handed to the handler; the grab's keys from here on are held. A copy of a key
            // handed on that has not come back by now comes while the recording is not read.
            phase_ = Phase::holding;
            echoes_.clear();
            if (auto established = std::exchange(established_, {})) {
                established(true);
            }
            while (!waiting_.empty() && phase_ == Phase::holding && handler_) {
                const KeyEvent event = waiting_.front();
                waiting_.pop_front();
                handler_(event);
            }
        } else if (phase_ == Phase::cancelled) {
            phase_ = Phase::releasing;
        }
    } else if (request == X_UngrabKeyboard && phase_ == Phase::releasing) {
        // The keys the grab caught before it ended may not all have been read from the other
        // connection yet; read as idle, they would be taken for a hotkey and never handed on.
        XSync(connection_.display(), False);
        connection_.drain();
        phase_ = Phase::idle;
        for (const KeyEvent& event : std::exchange(waiting_, {})) {
            passOn(event);
        }
        // A key handed on while the grab was being given up has its release come straight to the
        // application, from the keyboard the user pressed it on; the own keyboard lets go too.
        poster_->settle();
        if (auto deferred = std::exchange(deferred_, {})) {
            beginHold(std::move(deferred));
        }
    }
}

void X11KeyboardTap::passOn(const KeyEvent& event) {
    if ((!handler_ || !handler_(event)) && post(event)) {
        // Sent after the ungrab, so the recording shows it when it is read again.
        const bool press = (event.native & 0x100) != 0;
        echoes_.emplace_back(press ? KeyPress : KeyRelease,
                             static_cast<XKeyCode>(event.native & 0xFF));
    }
}

void X11KeyboardTap::onHeldKey(const XKeyEvent& key) {
    const KeyEvent event = keyEvent(key.type, static_cast<XKeyCode>(key.keycode), key.state);
    switch (phase_) {
    case Phase::asked:
        waiting_.push_back(event);
        break;
    case Phase::holding:
        if (handler_) {
            handler_(event);
        }
        break;
    case Phase::releasing:
    case Phase::cancelled:
        // Caught by a grab that is being given up: the application has not seen it.
        passOn(event);
        break;
    case Phase::idle:
        break;
    }
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
            // While the keyboard is grabbed the recording's keys are this program's own, or the
            // user's, which come through the grab.
            if (phase_ == Phase::idle || phase_ == Phase::asked || phase_ == Phase::cancelled) {
                // Device events come in this connection's own byte order.
                onDeviceEvent(bytes[0] & 0x7F, bytes[1], readCard16(bytes + 28, false));
            }
        } else if ((bytes[0] & 0x7F) == ButtonPress || (bytes[0] & 0x7F) == FocusIn) {
            onPointerOrFocus(bytes[0] & 0x7F, bytes);
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
        if (length < 4) {
            return;
        }
        if (data.id_base == ownClient_) {
            onOwnRequest(bytes[0]);
            return;
        }
        if (secureInput_ == nullptr) {
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

KeyEvent X11KeyboardTap::keyEvent(int type, XKeyCode keyCode, unsigned state) const {
    KeyEvent event;
    event.keyCode = keymap_.macKeyFor(keyCode);
    event.native = nativeOf(keyCode, type == KeyPress, state);
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
        return event;
    }
    event.type = type == KeyPress ? KeyEventType::keyDown : KeyEventType::keyUp;
    event.flags = keymap_.flagsFor(state & modifierBits);
    if (type == KeyPress) {
        event.setText(keymap_.textFor(keyCode, state));
    }
    return event;
}

void X11KeyboardTap::onDeviceEvent(int type, XKeyCode keyCode, unsigned state) {
    if (!echoes_.empty() && echoes_.front() == std::pair(type, keyCode)) {
        echoes_.pop_front();
        return;
    }
    if (!handler_) {
        return;
    }
    // The grab hands a hotkey's key-down over on the other connection.
    if (type == KeyPress && keymap_.modifierBitOf(keyCode) == 0 && isGrabbed(keyCode, state)) {
        return;
    }
    handler_(keyEvent(type, keyCode, state));
}

void X11KeyboardTap::onPointerOrFocus(int type, const unsigned char* bytes) {
    if (!handler_) {
        return;
    }
    KeyEvent event;
    if (type == ButtonPress) {
        // The left, middle and right buttons place the insertion point; the wheel does not.
        if (bytes[1] < Button1 || bytes[1] > Button3) {
            return;
        }
        event.type = KeyEventType::mouseDown;
    } else {
        // The focus moving to another window, not within one, nor a grab's coming and going.
        const unsigned detail = bytes[1];
        const unsigned mode = bytes[8];
        if ((mode != NotifyNormal && mode != NotifyWhileGrabbed) ||
            (detail != NotifyAncestor && detail != NotifyVirtual && detail != NotifyNonlinear &&
             detail != NotifyNonlinearVirtual)) {
            return;
        }
        event.type = KeyEventType::focusChanged;
        if (ownKeyboard_ != nullptr && phase_ == Phase::idle) {
            ownKeyboard_->followFocus();
        }
    }
    handler_(event);
}

// --- The grabs -----------------------------------------------------------------------------

void X11KeyboardTap::onConnectionEvent(XEvent& event) {
    if ((event.type == KeyPress || event.type == KeyRelease) && phase_ != Phase::idle) {
        onHeldKey(event.xkey);
    } else if (event.type == KeyPress) {
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
        withhold = handler_(keyEvent(KeyPress, static_cast<XKeyCode>(press.keycode), press.state));
    }
    if (withhold && phase_ != Phase::idle) {
        // The expansion the hotkey started holds the keyboard with this very grab.
        XAllowEvents(control, AsyncKeyboard, press.time);
    } else if (withhold) {
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

void X11KeyboardTap::setHotkeys(std::vector<platform::Hotkey> hotkeys) {
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

} // namespace quillo::linuxdesktop
