// The expansion sound on a Linux desktop: the desktop's own event sound, found in the
// freedesktop sound theme through libcanberra (as the desktop's own notifications are), or,
// where the theme has no such sound, the short sound Quillo ships.
//
// Nothing is opened until the first sound: most users never switch the sound on, and opening
// the sound system costs time at start.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <string>
#include <string_view>

struct ca_context;

namespace quillo::linuxdesktop {

class CanberraSound final : public platform::Sound {
  public:
    // `fallbackFile` is Quillo's own sound; without one, a missing theme sound stays silent.
    explicit CanberraSound(std::filesystem::path fallbackFile = {});
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    // Plays without waiting; a desktop without sound stays silent.
    void play(std::string_view name) override;

    // The sound theme's event for a sound the logic names ("Pop"); other names pass unchanged.
    static std::string eventIdFor(std::string_view name);

    // Quillo's own sound as installed: share/quillo/sounds beside the program's bin folder.
    static std::filesystem::path installedFallback(const std::filesystem::path& programFolder);

  private:
    bool open();

    std::filesystem::path fallbackFile_;
    ca_context* context_ = nullptr;
    bool failed_ = false;
};

} // namespace quillo::linuxdesktop
