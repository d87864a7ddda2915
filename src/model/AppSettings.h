// The user's preferences, kept in the per-user preference store, and one flag that lives only
// in memory. Every assignment of a stored preference writes it at once; observers hear only of
// real changes.
#pragma once

#include "model/Observable.h"
#include "model/Snippet.h"
#include "platform/Platform.h"

#include <optional>
#include <string_view>
#include <vector>

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

    // The hotkey that opens the search window; none for no hotkey. Until the user chooses one
    // in the General tab it is Ctrl+Alt+Space, unless one of `snippets` already has that hotkey:
    // the snippet keeps it.
    std::optional<platform::Hotkey> searchWindowHotkey(const std::vector<Snippet>& snippets) const;
    // The user's choice, none included; from then on no snippet changes it.
    void setSearchWindowHotkey(std::optional<platform::Hotkey> hotkey);
    static constexpr platform::Hotkey defaultSearchWindowHotkey{
        platform::key::space, platform::flag::control | platform::flag::option};

    static constexpr std::string_view isExpansionEnabledKey = "isExpansionEnabled";
    static constexpr std::string_view playSoundOnExpansionKey = "playSoundOnExpansion";
    static constexpr std::string_view launchAtLoginKey = "launchAtLogin";
    static constexpr std::string_view hasCompletedOnboardingKey = "hasCompletedOnboarding";
    static constexpr std::string_view appendDelimiterKey = "appendDelimiter";
    // One integer: the modifier flags and the key code together (the flags lie above the 16 bits
    // of a key code), 0 for no hotkey.
    static constexpr std::string_view searchWindowHotkeyKey = "searchWindowHotkey";

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
    bool hasChosenSearchWindowHotkey_ = false;
    std::optional<platform::Hotkey> searchWindowHotkey_;
};

} // namespace quillo::model
