#include "platform/linux/XTestEventPoster.h"

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XlibHeaders.h"
#include "unicode/UnicodeText.h"

#include <algorithm>

namespace quillo::linuxdesktop {

namespace {

using platform::KeyEvent;
using platform::KeyEventType;
namespace flag = platform::flag;

// How long a spare key keeps a lent symbol: long enough for the application to have looked the
// key up (toolkits read the new mapping lazily, when the key event arrives), short enough not to
// leave strange keys behind for long.
constexpr auto lendingTime = std::chrono::milliseconds(500);

bool isLead(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isTrail(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

KeySym keySymOfCharacter(char32_t character) {
    // Latin-1 characters are their own symbols; all others have one at 0x1000000 + code point.
    if ((character >= 0x20 && character <= 0x7E) || (character >= 0xA0 && character <= 0xFF)) {
        return character;
    }
    return 0x1000000 + character;
}

} // namespace

XTestEventPoster::XTestEventPoster(ClipboardReader clipboardText)
    : clipboardText_(std::move(clipboardText)) {}

XTestEventPoster::~XTestEventPoster() {
    std::lock_guard lock(mutex_);
    if (display_ != nullptr) {
        returnSpareKeys(true);
        if (device_ != nullptr) {
            XCloseDevice(display_, device_);
        }
        XCloseDisplay(display_);
    }
}

platform::OutputTiming XTestEventPoster::timing() const {
    using namespace std::chrono_literals;
    // The X server hands the events of one keyboard to the focused client in order, and the
    // clipboard's owner is known to the server before the paste keys go out, so no stage has to
    // wait for the application to catch up; only the paste is waited for, until the application
    // has asked for it.
    platform::OutputTiming timing;
    timing.beforeFirstEvent = 0ms;
    timing.afterEachKey = 0ms;
    timing.afterStage = 0ms;
    timing.pasteReadLimit = 1000ms;
    return timing;
}

bool XTestEventPoster::ensureOpen() {
    if (display_ != nullptr) {
        return true;
    }
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return false;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return false;
    }
    XkbSelectEvents(display_, XkbUseCoreKbd, XkbMapNotifyMask | XkbNewKeyboardNotifyMask,
                    XkbMapNotifyMask | XkbNewKeyboardNotifyMask);
    keymap_ = std::make_unique<X11Keymap>(display_);
    if (ownDevice_) {
        X11ErrorTrap trap(display_);
        device_ = XOpenDevice(display_, static_cast<XID>(*ownDevice_));
        if (trap.sync() != Success) {
            device_ = nullptr;
        }
    }
    return true;
}

void XTestEventPoster::readEvents() {
    bool changed = false;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            changed = true;
        } else {
            // Any other event this connection gets is an XKB map change.
            XkbRefreshKeyboardMapping(reinterpret_cast<XkbMapNotifyEvent*>(&event));
            changed = true;
        }
    }
    if (changed) {
        keymap_->refresh();
    }
}

void XTestEventPoster::post(const KeyEvent& event) {
    std::lock_guard lock(mutex_);
    if (stopped_ || !ensureOpen()) {
        return;
    }
    readEvents();
    returnSpareKeys(false);
    releaseReplayed();
    if (event.textLength > 0) {
        if (event.type == KeyEventType::keyDown) {
            releaseHeldModifiers();
            typeText(event.textView());
        }
        XSync(display_, False);
        return;
    }
    // The events go out at once but without waiting for the server: it keeps them in order,
    // and each key-down's look at the held modifiers waits for the events before it anyway.
    if (event.type == KeyEventType::keyDown) {
        keyDown(event);
    } else if (event.type == KeyEventType::keyUp) {
        keyUp();
    }
    XFlush(display_);
}

void XTestEventPoster::fake(XKeyCode keyCode, bool press) {
    if (device_ == nullptr) {
        XTestFakeKeyEvent(display_, keyCode, press ? True : False, CurrentTime);
        return;
    }
    XTestFakeDeviceKeyEvent(display_, device_, keyCode, press ? True : False, nullptr, 0,
                            CurrentTime);
    const auto at = std::find(down_.begin(), down_.end(), keyCode);
    if (press && at == down_.end()) {
        down_.push_back(keyCode);
    } else if (!press && at != down_.end()) {
        down_.erase(at);
    }
}

bool XTestEventPoster::replay(XKeyCode keyCode, bool press, unsigned userState) {
    std::lock_guard lock(mutex_);
    if (stopped_ || !ensureOpen()) {
        return false;
    }
    readEvents();
    if (!press && std::find(down_.begin(), down_.end(), keyCode) == down_.end()) {
        return false; // let go already, before an expansion typed
    }
    if (press && device_ != nullptr && keymap_->modifierBitOf(keyCode) == 0) {
        matchModifiers(userState);
    }
    fake(keyCode, press);
    XFlush(display_);
    return true;
}

void XTestEventPoster::releaseReplayed() {
    // A user's key handed on is still down when the key after it starts an expansion: typed on
    // top of it, a space would not go down again, and a Shift would shift the snippet.
    for (const XKeyCode keyCode : std::vector<XKeyCode>(down_.rbegin(), down_.rend())) {
        if (std::find(held_.begin(), held_.end(), keyCode) == held_.end()) {
            fake(keyCode, false);
        }
    }
}

void XTestEventPoster::matchModifiers(unsigned userState) {
    // A modifier the user pressed before the hold began went to the core keyboard, not to this
    // one: without it here a Shift held from before would type the held letter in lower case.
    for (unsigned bit = ShiftMask; bit <= Mod5Mask; bit <<= 1) {
        if (bit == LockMask || bit == keymap_->roles().numLock) {
            continue;
        }
        const auto down = std::find_if(down_.begin(), down_.end(), [&](XKeyCode key) {
            return keymap_->modifierBitOf(key) == bit;
        });
        const bool wanted = (userState & bit) != 0;
        if (wanted && down == down_.end()) {
            if (const auto modifierKey = keymap_->keyForModifierBit(bit)) {
                fake(*modifierKey, true);
            }
        } else if (!wanted && down != down_.end()) {
            fake(*down, false);
        }
    }
    // Caps Lock is a state of each keyboard: this one takes the user's.
    if (!ownMaster_) {
        return;
    }
    XkbStateRec own{};
    const auto lockKey = keymap_->keyForModifierBit(LockMask);
    if (lockKey && XkbGetState(display_, static_cast<unsigned>(*ownMaster_), &own) == Success &&
        ((own.locked_mods & LockMask) != 0) != ((userState & LockMask) != 0)) {
        fake(*lockKey, true);
        fake(*lockKey, false);
    }
}

void XTestEventPoster::settle() {
    std::lock_guard lock(mutex_);
    if (stopped_ || display_ == nullptr) {
        return;
    }
    for (const XKeyCode keyCode : std::vector<XKeyCode>(down_.rbegin(), down_.rend())) {
        fake(keyCode, false);
    }
    XSync(display_, False);
}

void XTestEventPoster::releaseHeldModifiers() {
    // The program's own keyboard holds no modifier of the user's.
    if (device_ != nullptr) {
        return;
    }
    char keys[32] = {};
    XQueryKeymap(display_, keys);
    for (const XKeyCode keyCode : keymap_->heldModifierKeys()) {
        if (keys[keyCode / 8] & (1 << (keyCode % 8))) {
            fake(keyCode, false);
        }
    }
}

void XTestEventPoster::keyDown(const KeyEvent& event) {
    releaseHeldModifiers();
    held_.clear();
    const platform::EventFlags modifiers = event.flags & flag::modifierMask;
    if (modifiers == flag::command &&
        (event.keyCode == platform::key::v || event.keyCode == platform::key::c)) {
        pressClipboardKeys(event.keyCode == platform::key::v ? ClipboardAction::paste
                                                             : ClipboardAction::copy);
        return;
    }
    const auto keyCode = keymap_->keyCodeFor(event.keyCode);
    const auto state = stateForMacFlags(modifiers, keymap_->roles());
    if (!keyCode || !state) {
        return;
    }
    pressDown(*keyCode, *state);
}

void XTestEventPoster::pressDown(XKeyCode keyCode, unsigned modifiers) {
    const unsigned order[] = {ControlMask, keymap_->roles().alt, ShiftMask, keymap_->roles().super};
    for (const unsigned bit : order) {
        if (bit != 0 && (modifiers & bit)) {
            if (const auto modifierKey = keymap_->keyForModifierBit(bit)) {
                fake(*modifierKey, true);
                held_.push_back(*modifierKey);
            }
        }
    }
    fake(keyCode, true);
    held_.push_back(keyCode);
}

void XTestEventPoster::keyUp() {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
        fake(*it, false);
    }
    held_.clear();
}

void XTestEventPoster::pressClipboardKeys(ClipboardAction action) {
    const auto keys = clipboardKeysFor(focusedWindowClass(display_).value_or(""), action);
    switch (keys.kind) {
    case ClipboardKeys::Kind::keys: {
        const auto keyCode = keymap_->keyCodeForKeySym(keys.key);
        if (!keyCode) {
            return;
        }
        unsigned modifiers = 0;
        modifiers |= keys.control ? ControlMask : 0;
        modifiers |= keys.shift ? ShiftMask : 0;
        modifiers |= keys.alt ? keymap_->roles().alt : 0;
        pressDown(*keyCode, modifiers);
        return;
    }
    case ClipboardKeys::Kind::typeClipboard:
        if (clipboardText_) {
            if (const auto text = clipboardText_()) {
                typeText(unicode::toUtf16(*text));
            }
        }
        return;
    case ClipboardKeys::Kind::none:
        return;
    }
}

void XTestEventPoster::typeText(std::u16string_view units) {
    // The halves of a character beyond the BMP may come in separate events, the lead first.
    for (const char16_t unit : units) {
        if (isLead(unit)) {
            pendingLead_ = unit;
            continue;
        }
        char32_t character = unit;
        if (isTrail(unit)) {
            if (pendingLead_ == 0) {
                continue;
            }
            character = 0x10000 + ((static_cast<char32_t>(pendingLead_) - 0xD800) << 10) +
                        (static_cast<char32_t>(unit) - 0xDC00);
        }
        pendingLead_ = 0;
        typeCharacter(character);
    }
}

int XTestEventPoster::currentGroup(bool* capsLock) {
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) {
        *capsLock = false;
        return 0;
    }
    *capsLock = (state.locked_mods & LockMask) != 0;
    if (device_ != nullptr && ownMaster_) {
        // The own keyboard has a layout group and a Caps Lock of its own: it types in the
        // user's group, and its Caps Lock is off.
        const auto master = static_cast<unsigned>(*ownMaster_);
        XkbStateRec own{};
        if (XkbGetState(display_, master, &own) == Success) {
            if (own.group != state.group) {
                XkbLockGroup(display_, master, state.group);
            }
            *capsLock = (own.locked_mods & LockMask) != 0;
        }
    }
    return state.group;
}

void XTestEventPoster::typeCharacter(char32_t character) {
    bool capsLock = false;
    const int group = currentGroup(&capsLock);
    const auto typing = keymap_->typingFor(character, group);
    std::optional<XKeyCode> levelThree;
    if (typing && typing->level >= 2) {
        levelThree = keymap_->keyCodeForKeySym(XK_ISO_Level3_Shift);
    }
    if (!typing || (typing->level >= 2 && !levelThree)) {
        typeWithSpareKey(character);
        return;
    }
    bool shift = (typing->level & 1) != 0;
    if (capsLock) {
        // Caps Lock turns Shift around for letters, and only for them.
        KeySym lower = NoSymbol;
        KeySym upper = NoSymbol;
        XConvertCase(XkbKeycodeToKeysym(display_, typing->keyCode, group, typing->level), &lower,
                     &upper);
        shift = lower != upper ? !shift : shift;
    }
    const auto shiftKey = keymap_->keyForModifierBit(ShiftMask);
    if (shift && shiftKey) {
        fake(*shiftKey, true);
    }
    if (levelThree) {
        fake(*levelThree, true);
    }
    fake(typing->keyCode, true);
    fake(typing->keyCode, false);
    if (levelThree) {
        fake(*levelThree, false);
    }
    if (shift && shiftKey) {
        fake(*shiftKey, false);
    }
}

void XTestEventPoster::typeWithSpareKey(char32_t character) {
    // Spare keys stay spare while they are lent: the list is taken before any is lent.
    std::vector<XKeyCode> spares = keymap_->spareKeyCodes();
    for (const LentKey& lent : lent_) {
        if (std::find(spares.begin(), spares.end(), lent.keyCode) == spares.end()) {
            spares.push_back(lent.keyCode);
        }
    }
    if (spares.empty()) {
        return;
    }
    const XKeyCode keyCode = spares[nextSpare_++ % spares.size()];
    KeySym symbols[2] = {keySymOfCharacter(character), keySymOfCharacter(character)};
    XChangeKeyboardMapping(display_, keyCode, 2, symbols, 1);
    XSync(display_, False);
    fake(keyCode, true);
    fake(keyCode, false);
    XSync(display_, False);
    std::erase_if(lent_, [keyCode](const LentKey& lent) { return lent.keyCode == keyCode; });
    lent_.push_back({keyCode, std::chrono::steady_clock::now()});
}

void XTestEventPoster::returnSpareKeys(bool all) {
    const auto now = std::chrono::steady_clock::now();
    bool changed = false;
    std::erase_if(lent_, [&](const LentKey& lent) {
        if (!all && now - lent.since < lendingTime) {
            return false;
        }
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display_, lent.keyCode, 1, &none, 1);
        changed = true;
        return true;
    });
    if (changed) {
        XSync(display_, False);
    }
}

} // namespace quillo::linuxdesktop
