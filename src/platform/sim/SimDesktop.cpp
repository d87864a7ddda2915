#include "platform/sim/SimDesktop.h"

#include "platform/sim/SimServices.h"
#include "platform/sim/VirtualScheduler.h"
#include "unicode/UnicodeText.h"

#include <fstream>
#include <utility>

namespace quillo::sim {

namespace {

using platform::KeyEventType;

class SimKeyboardTap final : public platform::KeyboardTap {
  public:
    explicit SimKeyboardTap(VirtualScheduler& scheduler) : scheduler_(scheduler) {}

    bool start(Handler handler) override {
        if (refused) {
            return false;
        }
        handler_ = std::move(handler);
        return true;
    }
    // The hold takes effect `holdLatency` after it is asked for, as a grab that travels to a
    // display server does; keys pressed meanwhile still reach the field.
    void beginHold(std::function<void(bool)> established) override {
        if (holdRefused) {
            scheduler_.postToMain([established = std::move(established)] { established(false); });
            return;
        }
        const auto start = [this, asked = endings_, established = std::move(established)] {
            // A hold ended since it was asked for is called off.
            holding = asked == endings_;
            established(holding);
        };
        if (holding || holdLatency.count() == 0) {
            start();
        } else {
            scheduler_.scheduleAt(scheduler_.elapsed() + holdLatency, start);
        }
    }
    void replay(const KeyEvent& event) override { toField(event); }
    void setHotkeys(std::vector<platform::Hotkey> wanted) override { hotkeys = std::move(wanted); }
    void endHold() override {
        holding = false;
        ++endings_;
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

    std::function<void(const KeyEvent&)> toField;
    bool refused = false;
    bool holdRefused = false;
    bool holding = false;
    std::vector<platform::Hotkey> hotkeys;
    VirtualTime holdLatency{0};

  private:
    VirtualScheduler& scheduler_;
    Handler handler_;
    int endings_ = 0;
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

// The input method between the program and the field: each request reaches the field on the
// main thread, in order with the keys and posted events before it.
class SimTextInput final : public platform::TextInput {
  public:
    SimTextInput(VirtualScheduler& scheduler, TextField& field,
                 std::function<void(const KeyEvent&)> forward)
        : scheduler_(scheduler), field_(field), forward_(std::move(forward)) {}

    bool isActive() const override { return active; }
    void erase(std::size_t characters, std::size_t codePoints) override {
        record("erase " + std::to_string(characters) + "/" + std::to_string(codePoints));
        if (surroundingText) {
            scheduler_.postToMain([this, codePoints] { field_.deleteCodePoints(codePoints); });
            return;
        }
        for (std::size_t i = 0; i < characters; ++i) {
            deliver(platform::key::backspace, 0);
        }
    }
    void commit(std::string_view text) override {
        record("commit " + std::string(text));
        scheduler_.postToMain([this, text = std::string(text)] { field_.commit(text); });
    }
    void forwardKey(KeyCode keyCode, EventFlags flags) override {
        record("key " + std::to_string(keyCode) + "/" + std::to_string(flags));
        deliver(keyCode, flags);
    }
    std::optional<std::string> selectedText() const override {
        return surroundingText ? std::optional(field_.selectedText()) : std::nullopt;
    }

    bool active = false;
    bool surroundingText = true;
    std::vector<std::string> requests;

  private:
    void record(const std::string& request) {
        requests.push_back(std::to_string(scheduler_.elapsed() / std::chrono::milliseconds(1)) +
                           ":" + request);
    }
    void deliver(KeyCode keyCode, EventFlags flags) {
        scheduler_.postToMain(
            [this, event = usKeyboard::keyDownFor(keyCode, flags)] { forward_(event); });
    }

    VirtualScheduler& scheduler_;
    TextField& field_;
    std::function<void(const KeyEvent&)> forward_;
};

} // namespace

struct SimDesktop::Impl {
    Impl(SimDesktop& desktop, std::filesystem::path filesRoot)
        : tap(scheduler),
          poster([this, &desktop](const KeyEvent& event) { posted(desktop, event); }),
          textInput(scheduler, desktop.field_,
                    [&desktop](const KeyEvent& event) { desktop.toField(event); }),
          workspace(scheduler),
          files(scheduler, filesRoot.empty()
                               ? std::nullopt
                               : std::optional<std::filesystem::path>(std::move(filesRoot))),
          network(scheduler) {
        tap.toField = [&desktop](const KeyEvent& event) { desktop.toField(event); };
    }

    // A synthetic event is recorded as the program posted it and reaches the field on the main
    // thread, after whatever the main thread had queued before, unless the tap withholds it: a
    // tap that is not holding sees every event, as a system's tap does.
    void posted(SimDesktop& desktop, const KeyEvent& event) {
        desktop.posted_.push_back(PostedEvent{scheduler.elapsed(), event});
        scheduler.postToMain([&desktop, typed = withLayoutText(event)] {
            if (desktop.impl_->tap.holding || !desktop.impl_->tap.pass(typed)) {
                desktop.toField(typed);
            }
        });
    }

    // Declared first so that it is the last to go: workers finishing in the destructor still
    // use the services below.
    VirtualScheduler scheduler;
    SimKeyboardTap tap;
    SimEventPoster poster;
    SimTextInput textInput;
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
    VirtualTime fetchDelay = std::chrono::milliseconds(100);
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
        .textInput = i.textInput,
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
        .fileWatcher = i.files,
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
    // A key that starts a hold is not held itself.
    const bool held = impl_->tap.holding;
    const bool withheld = impl_->tap.pass(event);
    if (held) {
        return true;
    }
    if (!withheld) {
        toField(event);
    }
    return withheld;
}

void SimDesktop::toField(const KeyEvent& event) {
    if (event.type != KeyEventType::keyDown ||
        !field_.apply(event, impl_->pasteboard, impl_->fieldCopies)) {
        return;
    }
    // An application pastes what it copied itself at once; anything else it asks the owner of
    // the clipboard for, and inserts when the answer arrives, while key presses keep coming.
    if (impl_->pasteboard.writer() == SimPasteboard::Writer::field ||
        impl_->fetchDelay.count() == 0) {
        field_.paste(impl_->pasteboard.readForField());
        return;
    }
    impl_->scheduler.scheduleAt(impl_->scheduler.elapsed() + impl_->fetchDelay,
                                [this] { field_.paste(impl_->pasteboard.readForField()); });
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

void SimDesktop::doAt(VirtualTime at, std::function<void()> action) {
    impl_->scheduler.scheduleAt(at, std::move(action));
}

void SimDesktop::click(std::optional<std::size_t> cursor) {
    KeyEvent event;
    event.type = KeyEventType::mouseDown;
    impl_->tap.pass(event);
    if (cursor) {
        field_.place(*cursor);
    }
}

void SimDesktop::focusOn(std::optional<std::string> applicationId) {
    impl_->workspace.frontmost = std::move(applicationId);
    impl_->workspace.aliases.clear();
    KeyEvent event;
    event.type = KeyEventType::focusChanged;
    impl_->tap.pass(event);
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

bool SimDesktop::pasteboardConcealed() const {
    return impl_->pasteboard.concealed();
}

void SimDesktop::setFetchDelay(VirtualTime delay) {
    impl_->fetchDelay = delay;
}

void SimDesktop::setInputMethod(bool active, bool surroundingText) {
    impl_->textInput.active = active;
    impl_->textInput.surroundingText = surroundingText;
}

const std::vector<std::string>& SimDesktop::inputMethodRequests() const {
    return impl_->textInput.requests;
}

void SimDesktop::setHoldLatency(VirtualTime latency) {
    impl_->tap.holdLatency = latency;
}

void SimDesktop::setHoldRefused(bool refused) {
    impl_->tap.holdRefused = refused;
}

bool SimDesktop::holding() const {
    return impl_->tap.holding;
}

const std::vector<platform::Hotkey>& SimDesktop::hotkeys() const {
    return impl_->tap.hotkeys;
}

// --- Other programs at the files ---------------------------------------------------------------

void SimDesktop::writeFileOutside(const std::filesystem::path& path, std::string_view contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(contents.data(), static_cast<std::streamsize>(contents.size()));
    impl_->files.changed(path);
}

void SimDesktop::replaceFileOutside(const std::filesystem::path& path, std::string_view contents) {
    auto beside = path;
    beside += ".partial";
    writeFileOutside(beside, contents);
    std::filesystem::rename(beside, path);
    impl_->files.changed(path);
}

void SimDesktop::deleteFileOutside(const std::filesystem::path& path) {
    std::filesystem::remove(path);
    impl_->files.changed(path);
}

// --- Switches and records ---------------------------------------------------------------------

void SimDesktop::setFrontmostApplication(std::optional<std::string> id,
                                         std::vector<std::string> aliases) {
    impl_->workspace.frontmost = std::move(id);
    impl_->workspace.aliases = std::move(aliases);
}

void SimDesktop::setOwnWindowFocused(bool focused) {
    impl_->workspace.ownWindowFocused = focused;
}

void SimDesktop::setFocusedWindow(std::optional<platform::WindowId> window) {
    impl_->workspace.focused = window;
}

std::optional<platform::WindowId> SimDesktop::focusedWindow() const {
    return impl_->workspace.focused;
}

void SimDesktop::addOwnWindow(platform::WindowId window) {
    impl_->workspace.ownWindows.push_back(window);
}

void SimDesktop::setWindowFocusRefused(bool refused) {
    impl_->workspace.refusesFocus = refused;
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

void SimDesktop::setInputSource(std::optional<platform::InputSource> source) {
    impl_->trust.source = std::move(source);
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
