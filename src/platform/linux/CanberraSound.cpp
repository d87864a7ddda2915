#include "platform/linux/CanberraSound.h"

#include <canberra.h>
#include <cstdint>
#include <system_error>

namespace quillo::linuxdesktop {

namespace {

// One id for every expansion sound, so that a new one cuts the previous one short.
constexpr std::uint32_t soundId = 1;
// Sounds asked for while the others still wait are dropped: a burst of expansions needs no
// queue of blips.
constexpr std::size_t maxPending = 2;
// After the sound system fails (no sound card, no sound server), so long without trying again:
// each attempt is slow and complains on standard error.
constexpr std::chrono::seconds quietAfterFailure{60};

} // namespace

CanberraSound::CanberraSound(std::filesystem::path fallbackFile)
    : fallbackFile_(std::move(fallbackFile)) {}

CanberraSound::~CanberraSound() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string CanberraSound::eventIdFor(std::string_view name) {
    // The Mac's "Pop" is a short blip of confirmation; the theme's nearest is the brief sound of
    // an instant message (themes without it fall back to "message").
    if (name == "Pop") {
        return "message-new-instant";
    }
    return std::string(name);
}

std::filesystem::path CanberraSound::installedFallback(const std::filesystem::path& programFolder) {
    return programFolder.parent_path() / "share" / "quillo" / "sounds" / "quillo-pop.wav";
}

void CanberraSound::play(std::string_view name) {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { run(); });
        }
        if (pending_.size() >= maxPending) {
            return;
        }
        pending_.push_back(eventIdFor(name));
    }
    wake_.notify_one();
}

void CanberraSound::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) {
            break;
        }
        const std::string eventId = std::move(pending_.front());
        pending_.pop_front();
        lock.unlock();
        playNow(eventId);
        lock.lock();
    }
    lock.unlock();
    if (context_ != nullptr) {
        ca_context_destroy(context_);
        context_ = nullptr;
    }
}

void CanberraSound::playNow(const std::string& eventId) {
    const auto now = std::chrono::steady_clock::now();
    if (now < quietUntil_) {
        return;
    }
    if (context_ == nullptr) {
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            quietUntil_ = now + quietAfterFailure;
            return;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Quillo",
                                CA_PROP_APPLICATION_ID, "io.github.quillo.Quillo",
                                CA_PROP_APPLICATION_ICON_NAME, "io.github.quillo.Quillo", nullptr);
    }
    ca_context_cancel(context_, soundId);
    int result = ca_context_play(context_, soundId, CA_PROP_EVENT_ID, eventId.c_str(),
                                 CA_PROP_EVENT_DESCRIPTION, "Snippet expanded", nullptr);
    std::error_code error;
    if (result == CA_ERROR_NOTFOUND && !fallbackFile_.empty() &&
        std::filesystem::exists(fallbackFile_, error)) {
        result = ca_context_play(context_, soundId, CA_PROP_MEDIA_FILENAME, fallbackFile_.c_str(),
                                 CA_PROP_EVENT_DESCRIPTION, "Snippet expanded", nullptr);
    }
    if (result != CA_SUCCESS && result != CA_ERROR_NOTFOUND) {
        quietUntil_ = now + quietAfterFailure;
    }
}

} // namespace quillo::linuxdesktop
