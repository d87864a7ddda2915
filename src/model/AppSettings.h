// The user's preferences, kept in the per-user preference store, and one flag that lives only
// in memory. Every assignment of a stored preference writes it at once; observers hear only of
// real changes.
#pragma once

#include "model/Observable.h"
#include "platform/Platform.h"

#include <string_view>

namespace quillo::model {

class AppSettings : public Observable {
  public:
    AppSettings(platform::Preferences& preferences, platform::LoginItem& loginItem);

    // The global switch: when off, nothing expands.
    bool isExpansionEnabled() const { return isExpansionEnabled_; }
    void setExpansionEnabled(bool value);

    bool playSoundOnExpansion() const { return playSoundOnExpansion_; }
    void setPlaySoundOnExpansion(bool value);

    // Shown by the launch-at-login switch; starts as the login item really is, whatever the
    // stored key says.
    bool launchAtLogin() const { return launchAtLogin_; }
    void setLaunchAtLoginValue(bool value);

    bool hasCompletedOnboarding() const { return hasCompletedOnboarding_; }
    void setHasCompletedOnboarding(bool value);

    // Re-insert the typed delimiter after an after-delimiter expansion.
    bool appendDelimiter() const { return appendDelimiter_; }
    void setAppendDelimiter(bool value);

    // True while a window records a key combination; the engine then lets every key through.
    bool isRecordingHotkey() const { return isRecordingHotkey_; }
    void setRecordingHotkey(bool value);

    // Registers or unregisters the login item; a failure is printed, the switch keeps its value.
    void setLaunchAtLogin(bool enabled);

    static constexpr std::string_view isExpansionEnabledKey = "isExpansionEnabled";
    static constexpr std::string_view playSoundOnExpansionKey = "playSoundOnExpansion";
    static constexpr std::string_view launchAtLoginKey = "launchAtLogin";
    static constexpr std::string_view hasCompletedOnboardingKey = "hasCompletedOnboarding";
    static constexpr std::string_view appendDelimiterKey = "appendDelimiter";

  private:
    void store(bool& field, bool value, std::string_view key);

    platform::Preferences& preferences_;
    platform::LoginItem& loginItem_;
    bool isExpansionEnabled_ = true;
    bool playSoundOnExpansion_ = false;
    bool launchAtLogin_ = false;
    bool hasCompletedOnboarding_ = false;
    bool appendDelimiter_ = false;
    bool isRecordingHotkey_ = false;
};

} // namespace quillo::model
