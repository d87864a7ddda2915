#include "platform/sim/SimServices.h"

#include "platform/sim/SimDesktop.h"

#include <algorithm>

namespace quillo::sim {

using platform::Bytes;
using platform::PasteboardItem;

// --- Pasteboard ------------------------------------------------------------------------------

void SimPasteboard::wroteByProgram() {
    if (writer_ != Writer::program) {
        concealed_ = false;
    }
    writer_ = Writer::program;
    ++changeCount_;
}

void SimPasteboard::clearContents() {
    items_.clear();
    concealed_ = false;
    wroteByProgram();
}

void SimPasteboard::writeItems(const std::vector<PasteboardItem>& items) {
    items_.insert(items_.end(), items.begin(), items.end());
    wroteByProgram();
}

void SimPasteboard::setConcealedString(std::string_view text) {
    setString(text);
    concealed_ = true;
}

void SimPasteboard::setString(std::string_view text) {
    if (items_.empty()) {
        items_.emplace_back();
    }
    auto& representations = items_.front().representations;
    Bytes data(text.begin(), text.end());
    auto existing = std::find_if(representations.begin(), representations.end(), [](auto& r) {
        return r.first == platform::Pasteboard::plainTextType;
    });
    if (existing != representations.end()) {
        existing->second = std::move(data);
    } else {
        representations.emplace_back(std::string(platform::Pasteboard::plainTextType),
                                     std::move(data));
    }
    wroteByProgram();
}

std::optional<std::string> SimPasteboard::string() const {
    for (const PasteboardItem& item : items_) {
        for (const auto& [type, data] : item.representations) {
            if (type == platform::Pasteboard::plainTextType) {
                return std::string(data.begin(), data.end());
            }
        }
    }
    return std::nullopt;
}

void SimPasteboard::replace(std::vector<PasteboardItem> items) {
    items_ = std::move(items);
    writer_ = Writer::other;
    concealed_ = false;
    ++changeCount_;
}

void SimPasteboard::copyFromField(std::string_view text) {
    items_ = {
        {{{std::string(platform::Pasteboard::plainTextType), Bytes(text.begin(), text.end())}}}};
    writer_ = Writer::field;
    concealed_ = false;
    ++changeCount_;
}

std::optional<std::string> SimPasteboard::readForField() {
    if (writer_ == Writer::program) {
        ++focusedReads_;
    }
    return string();
}

// --- Preferences and the login item -----------------------------------------------------------

template <typename T>
std::optional<T> SimPreferences::valueOf(std::string_view key) const {
    auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    if (const T* value = std::get_if<T>(&found->second)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<bool> SimPreferences::boolValue(std::string_view key) const {
    return valueOf<bool>(key);
}

void SimPreferences::setBool(std::string_view key, bool value) {
    values_.insert_or_assign(std::string(key), value);
}

std::optional<std::int64_t> SimPreferences::integerValue(std::string_view key) const {
    return valueOf<std::int64_t>(key);
}

void SimPreferences::setInteger(std::string_view key, std::int64_t value) {
    values_.insert_or_assign(std::string(key), value);
}

void SimPreferences::plantString(std::string key, std::string value) {
    values_.insert_or_assign(std::move(key), std::move(value));
}

std::vector<std::string> SimWorkspace::frontmostApplicationNames() const {
    if (!frontmost || frontmost->empty()) {
        return {};
    }
    std::vector<std::string> names{*frontmost};
    names.insert(names.end(), aliases.begin(), aliases.end());
    return names;
}

bool SimWorkspace::isOwnWindow(platform::WindowId window) const {
    return std::find(ownWindows.begin(), ownWindows.end(), window) != ownWindows.end();
}

void SimWorkspace::focusWindow(platform::WindowId window, std::chrono::milliseconds limit,
                               std::function<void(bool)> done) {
    if (refusesFocus) {
        scheduler_.scheduleAt(scheduler_.elapsed() + limit, [done] { done(false); });
        return;
    }
    scheduler_.scheduleAt(scheduler_.elapsed() + focusLatency, [this, window, done] {
        focused = window;
        ownWindowFocused = isOwnWindow(window);
        done(true);
    });
}

std::optional<std::string> SimLoginItem::setEnabled(bool enabled) {
    if (error_) {
        return error_;
    }
    enabled_ = enabled;
    return std::nullopt;
}

// --- Files ------------------------------------------------------------------------------------

namespace {

class SimWatch final : public platform::FileWatcher::Watch {
  public:
    explicit SimWatch(std::shared_ptr<void> watched) : watched_(std::move(watched)) {}

  private:
    std::shared_ptr<void> watched_;
};

} // namespace

std::optional<platform::FileError> SimFiles::move(const std::filesystem::path& from,
                                                  const std::filesystem::path& to) {
    auto error = files_.move(from, to);
    changed(from);
    changed(to);
    return error;
}

std::optional<platform::FileError> SimFiles::writeAtomically(const std::filesystem::path& path,
                                                             const Bytes& data) {
    auto error = files_.writeAtomically(path, data);
    changed(path);
    return error;
}

platform::Result<std::unique_ptr<platform::FileWatcher::Watch>>
SimFiles::watch(const std::filesystem::path& path, std::function<void()> changed) {
    auto watched = std::make_shared<Watched>(Watched{path.lexically_normal(), std::move(changed)});
    std::erase_if(watches_, [](const auto& w) { return w.expired(); });
    watches_.push_back(watched);
    return {std::make_unique<SimWatch>(std::move(watched)), {}};
}

void SimFiles::changed(const std::filesystem::path& path) {
    const auto normal = path.lexically_normal();
    for (const auto& weak : watches_) {
        const auto watched = weak.lock();
        if (watched && watched->path == normal) {
            scheduler_.postToMain([weak] {
                if (const auto alive = weak.lock()) {
                    alive->changed();
                }
            });
        }
    }
}

// --- Network ----------------------------------------------------------------------------------

void SimNetwork::setResponse(std::string url, std::optional<std::string> body,
                             std::chrono::microseconds latency) {
    responses_.insert_or_assign(std::move(url), Response{std::move(body), latency});
}

void SimNetwork::get(const std::string& url, std::chrono::milliseconds timeout,
                     std::size_t maxBytes, std::function<void(platform::HttpResponse)> completion) {
    requested_.push_back(url);
    std::chrono::microseconds delay = timeout;
    std::optional<Bytes> body;
    auto found = responses_.find(url);
    if (found != responses_.end() && found->second.latency <= timeout) {
        delay = found->second.latency;
        const std::optional<std::string>& answer = found->second.body;
        if (answer && answer->size() <= maxBytes) {
            body = Bytes(answer->begin(), answer->end());
        }
    }
    // The answer comes on a worker, as a real one would: callers may not count on the main
    // thread.
    scheduler_.runInBackground(
        [this, delay, body = std::move(body), completion = std::move(completion)]() mutable {
            scheduler_.sleep(delay);
            completion(platform::HttpResponse{std::move(body)});
        });
}

// --- The rest ---------------------------------------------------------------------------------

std::string SimAccessibilityTrust::untrustedReason() const {
    if (trusted) {
        return {};
    }
    return "Quillo is not allowed to watch and type on the keyboard. Allow it in the system's "
           "accessibility settings, then try again.";
}

std::size_t SimAlerts::run(const platform::Alert& alert) {
    shown.push_back(alert);
    if (answers.empty()) {
        return 0;
    }
    const std::size_t answer = answers.front();
    answers.pop_front();
    return answer;
}

std::u16string SimKeyboardLayout::textForKey(platform::KeyCode keyCode) const {
    return usKeyboard::textFor(keyCode, false);
}

} // namespace quillo::sim
