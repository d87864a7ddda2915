// The expansion sound on a Linux desktop: the desktop's own event sound, found in the
// freedesktop sound theme through libcanberra (as the desktop's own notifications are), or,
// where the theme has no such sound, the short sound Quillo ships.
//
// Sounds are played by a thread of their own, started with the first sound: opening the sound
// system takes a few hundred milliseconds, which the main thread (the keyboard's) must not wait
// for, and most users never switch the sound on.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct ca_context;

namespace quillo::linuxdesktop {

class CanberraSound final : public platform::Sound {
  public:
    // `fallbackFile` is Quillo's own sound; without one, a missing theme sound stays silent.
    explicit CanberraSound(std::filesystem::path fallbackFile = {});
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    // Returns at once; a desktop without sound stays silent.
    void play(std::string_view name) override;

    // The sound theme's event for a sound the logic names ("Pop"); other names pass unchanged.
    static std::string eventIdFor(std::string_view name);

    // Quillo's own sound as installed: share/quillo/sounds beside the program's bin folder.
    static std::filesystem::path installedFallback(const std::filesystem::path& programFolder);

  private:
    void run();
    // On the sound thread.
    void playNow(const std::string& eventId);

    const std::filesystem::path fallbackFile_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> pending_;
    bool stopping_ = false;
    std::thread thread_;

    // The sound thread's own.
    ca_context* context_ = nullptr;
    std::chrono::steady_clock::time_point quietUntil_;
};

} // namespace quillo::linuxdesktop
