#include "platform/sim/SimDesktop.h"

#include "platform/sim/SimServices.h"
#include "platform/sim/VirtualScheduler.h"
#include "unicode/UnicodeText.h"

#include <utility>

namespace quillo::sim {

namespace {

using platform::KeyEventType;

class SimKeyboardTap final : public platform::KeyboardTap {
  public:
    bool start(Handler handler) override {
        if (refused) {
            return false;
        }
        handler_ = std::move(handler);
        return true;
    }
    // Passes the event through the handler; true when the handler withholds it.
    bool pass(const KeyEvent& event) const {
        if (!handler_) {
            return false;
        }
        // A copy, so that a handler that installs another one is not destroyed while it runs.
        Handler handler = handler_;
        return handler(event);
    }

    bool refused = false;

  private:
    Handler handler_;
};

class SimEventPoster final : public platform::EventPoster {
  public:
    explicit SimEventPoster(std::function<void(const KeyEvent&)> onPost)
        : onPost_(std::move(onPost)) {}
    void post(const KeyEvent& event) override { onPost_(event); }

  private:
    std::function<void(const KeyEvent&)> onPost_;
};

// An event posted without text types what its key gives, as the system's own layout would.
KeyEvent withLayoutText(const KeyEvent& event) {
    if (event.textLength != 0 || event.type == KeyEventType::flagsChanged) {
        return event;
    }
    KeyEvent typed = usKeyboard::keyDownFor(event.keyCode, event.flags);
    typed.type = event.type;
    return typed;
}

} // namespace

struct SimDesktop::Impl {
    Impl(SimDesktop& desktop, std::filesystem::path filesRoot)
        : poster([this, &desktop](const KeyEvent& event) { posted(desktop, event); }),
          files(std::move(filesRoot)), network(scheduler) {}

    // A synthetic event is recorded as the program posted it and reaches the tap and the field
    // on the main thread, after whatever the main thread had queued before.
    void posted(SimDesktop& desktop, const KeyEvent& event) {
        desktop.posted_.push_back(PostedEvent{scheduler.elapsed(), event});
        scheduler.postToMain([&desktop, typed = withLayoutText(event)] { desktop.deliver(typed); });
    }

    // Declared first so that it is the last to go: workers finishing in the destructor still
    // use the services below.
    VirtualScheduler scheduler;
    SimKeyboardTap tap;
    SimEventPoster poster;
    SimKeyboardLayout layout;
    SimSecureInput secureInput;
    SimAccessibilityTrust trust;
    SimPasteboard pasteboard;
    SimWorkspace workspace;
    SimSound sound;
    SimAlerts alerts;
    SimPreferences preferences;
    SimLoginItem loginItem;
    SimFiles files;
    SimNetwork network;
    bool fieldCopies = true;
};

SimDesktop::SimDesktop(std::filesystem::path filesRoot)
    : impl_(std::make_unique<Impl>(*this, std::move(filesRoot))) {}

SimDesktop::~SimDesktop() {
    impl_->scheduler.finish();
}

platform::Services SimDesktop::services() {
    Impl& i = *impl_;
    return platform::Services{
        .keyboardTap = i.tap,
        .eventPoster = i.poster,
        .keyboardLayout = i.layout,
        .secureInput = i.secureInput,
        .accessibilityTrust = i.trust,
        .pasteboard = i.pasteboard,
        .workspace = i.workspace,
        .sound = i.sound,
        .alerts = i.alerts,
        .preferences = i.preferences,
        .loginItem = i.loginItem,
        .files = i.files,
        .network = i.network,
        .time = i.scheduler,
    };
}

// --- Time -------------------------------------------------------------------------------------

VirtualTime SimDesktop::now() const {
    return impl_->scheduler.elapsed();
}

void SimDesktop::runFor(VirtualTime duration) {
    impl_->scheduler.runFor(duration);
}

bool SimDesktop::runUntilIdle(VirtualTime limit) {
    return impl_->scheduler.runUntilIdle(limit);
}

// --- The keyboard -----------------------------------------------------------------------------

bool SimDesktop::deliver(const KeyEvent& event) {
    switch (event.type) {
    case KeyEventType::keyDown: {
        const bool withheld = impl_->tap.pass(event);
        if (!withheld) {
            field_.apply(event, impl_->pasteboard, impl_->fieldCopies);
        }
        return withheld;
    }
    case KeyEventType::flagsChanged:
        return impl_->tap.pass(event);
    case KeyEventType::keyUp:
        break;
    }
    return false;
}

bool SimDesktop::press(const KeyEvent& keyDown) {
    return deliver(keyDown);
}

void SimDesktop::changeModifiers(EventFlags flags) {
    KeyEvent event;
    event.type = KeyEventType::flagsChanged;
    event.flags = flags;
    deliver(event);
}

void SimDesktop::pressAt(VirtualTime at, const KeyEvent& keyDown) {
    impl_->scheduler.scheduleAt(at, [this, keyDown] { press(keyDown); });
}

void SimDesktop::typeText(std::string_view text, VirtualTime interval) {
    VirtualTime at = now();
    for (char32_t scalar : unicode::toScalars(text)) {
        pressAt(at, usKeyboard::keyDownFor(scalar));
        at += interval;
    }
}

// --- The pasteboard ---------------------------------------------------------------------------

const std::vector<platform::PasteboardItem>& SimDesktop::pasteboardItems() const {
    return impl_->pasteboard.contents();
}

void SimDesktop::setPasteboardItems(std::vector<platform::PasteboardItem> items) {
    impl_->pasteboard.replace(std::move(items));
}

void SimDesktop::setPasteboardText(std::optional<std::string> text) {
    std::vector<platform::PasteboardItem> items;
    if (text) {
        items.push_back({{{std::string(platform::Pasteboard::plainTextType),
                           platform::Bytes(text->begin(), text->end())}}});
    }
    impl_->pasteboard.replace(std::move(items));
}

std::optional<std::string> SimDesktop::pasteboardText() const {
    return impl_->pasteboard.string();
}

std::int64_t SimDesktop::pasteboardChangeCount() const {
    return impl_->pasteboard.changeCount();
}

void SimDesktop::setFieldCopies(bool copies) {
    impl_->fieldCopies = copies;
}

// --- Switches and records ---------------------------------------------------------------------

void SimDesktop::setFrontmostApplication(std::optional<std::string> id) {
    impl_->workspace.frontmost = std::move(id);
}

void SimDesktop::setSecureInput(bool on) {
    impl_->secureInput.on = on;
}

void SimDesktop::setSecureInputLimitation(std::string limitation) {
    impl_->secureInput.limitationText = std::move(limitation);
}

void SimDesktop::setTrusted(bool trusted) {
    impl_->trust.trusted = trusted;
}

int SimDesktop::trustRequests() const {
    return impl_->trust.requests;
}

void SimDesktop::setTapRefused(bool refused) {
    impl_->tap.refused = refused;
}

const std::vector<std::string>& SimDesktop::playedSounds() const {
    return impl_->sound.played;
}

const std::vector<std::string>& SimDesktop::openedUrls() const {
    return impl_->workspace.opened;
}

const std::vector<platform::Alert>& SimDesktop::shownAlerts() const {
    return impl_->alerts.shown;
}

void SimDesktop::queueAlertAnswer(std::size_t buttonIndex) {
    impl_->alerts.answers.push_back(buttonIndex);
}

void SimDesktop::setPreferenceString(std::string key, std::string value) {
    impl_->preferences.plantString(std::move(key), std::move(value));
}

std::optional<bool> SimDesktop::preference(std::string_view key) const {
    return impl_->preferences.boolValue(key);
}

int SimDesktop::preferenceWrites() const {
    return impl_->preferences.writes();
}

void SimDesktop::setLoginItemEnabled(bool enabled) {
    impl_->loginItem.setEnabledDirectly(enabled);
}

void SimDesktop::setLoginItemError(std::optional<std::string> error) {
    impl_->loginItem.setError(std::move(error));
}

bool SimDesktop::loginItemEnabled() const {
    return impl_->loginItem.isEnabled();
}

void SimDesktop::setHttpResponse(std::string url, std::optional<std::string> body,
                                 VirtualTime latency) {
    impl_->network.setResponse(std::move(url), std::move(body), latency);
}

const std::vector<std::string>& SimDesktop::requestedUrls() const {
    return impl_->network.requestedUrls();
}

} // namespace quillo::sim
