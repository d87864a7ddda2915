#include "platform/linux/CanberraSound.h"

#include <canberra.h>
#include <cstdint>
#include <system_error>

namespace quillo::linuxdesktop {

namespace {
// One id for every expansion sound, so that a new one cuts the previous one short.
constexpr std::uint32_t soundId = 1;
} // namespace

CanberraSound::CanberraSound(std::filesystem::path fallbackFile)
    : fallbackFile_(std::move(fallbackFile)) {}

CanberraSound::~CanberraSound() {
    if (context_ != nullptr) {
        ca_context_destroy(context_);
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

bool CanberraSound::open() {
    if (context_ != nullptr) {
        return true;
    }
    if (failed_) {
        return false;
    }
    if (ca_context_create(&context_) != CA_SUCCESS) {
        context_ = nullptr;
        failed_ = true;
        return false;
    }
    ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Quillo", CA_PROP_APPLICATION_ID,
                            "io.github.quillo.Quillo", CA_PROP_APPLICATION_ICON_NAME,
                            "io.github.quillo.Quillo", nullptr);
    return true;
}

void CanberraSound::play(std::string_view name) {
    if (!open()) {
        return;
    }
    const std::string eventId = eventIdFor(name);
    ca_context_cancel(context_, soundId);
    const int result = ca_context_play(context_, soundId, CA_PROP_EVENT_ID, eventId.c_str(),
                                       CA_PROP_EVENT_DESCRIPTION, "Snippet expanded", nullptr);
    if (result != CA_ERROR_NOTFOUND || fallbackFile_.empty()) {
        return;
    }
    std::error_code error;
    if (std::filesystem::exists(fallbackFile_, error)) {
        ca_context_play(context_, soundId, CA_PROP_MEDIA_FILENAME, fallbackFile_.c_str(),
                        CA_PROP_EVENT_DESCRIPTION, "Snippet expanded", nullptr);
    }
}

} // namespace quillo::linuxdesktop
