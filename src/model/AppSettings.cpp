#include "model/AppSettings.h"

#include <cstdint>
#include <iostream>

namespace quillo::model {

namespace {

constexpr std::int64_t keyCodeBits = 0xFFFF;

// None for "no hotkey"; a value that is no hotkey at all (no modifier, other bits) is not read.
std::optional<std::optional<platform::Hotkey>> decodeHotkey(std::int64_t value) {
    if (value == 0) {
        return std::optional<platform::Hotkey>();
    }
    const auto modifiers = static_cast<platform::EventFlags>(value & ~keyCodeBits);
    if (value < 0 || modifiers == 0 || (modifiers & ~platform::flag::modifierMask) != 0) {
        return std::nullopt;
    }
    return platform::Hotkey{static_cast<platform::KeyCode>(value & keyCodeBits), modifiers};
}

std::int64_t encodeHotkey(const std::optional<platform::Hotkey>& hotkey) {
    return hotkey ? static_cast<std::int64_t>(hotkey->modifiers | hotkey->keyCode) : 0;
}

} // namespace

AppSettings::AppSettings(platform::Preferences& preferences, platform::LoginItem& loginItem)
    : preferences_(preferences), loginItem_(loginItem) {
    isExpansionEnabled_ = preferences_.boolValue(isExpansionEnabledKey).value_or(true);
    playSoundOnExpansion_ = preferences_.boolValue(playSoundOnExpansionKey).value_or(false);
    launchAtLogin_ = loginItem_.isEnabled();
    hasCompletedOnboarding_ = preferences_.boolValue(hasCompletedOnboardingKey).value_or(false);
    appendDelimiter_ = preferences_.boolValue(appendDelimiterKey).value_or(false);
    if (const auto stored = preferences_.integerValue(searchWindowHotkeyKey)) {
        if (const auto hotkey = decodeHotkey(*stored)) {
            hasChosenSearchWindowHotkey_ = true;
            searchWindowHotkey_ = *hotkey;
        }
    }
}

void AppSettings::store(bool& field, bool value, std::string_view key) {
    const bool changed = field != value;
    field = value;
    preferences_.setBool(key, value);
    if (changed) {
        notify();
    }
}

void AppSettings::setExpansionEnabled(bool value) {
    store(isExpansionEnabled_, value, isExpansionEnabledKey);
}
void AppSettings::setPlaySoundOnExpansion(bool value) {
    store(playSoundOnExpansion_, value, playSoundOnExpansionKey);
}
void AppSettings::setLaunchAtLoginValue(bool value) {
    store(launchAtLogin_, value, launchAtLoginKey);
}
void AppSettings::setHasCompletedOnboarding(bool value) {
    store(hasCompletedOnboarding_, value, hasCompletedOnboardingKey);
}
void AppSettings::setAppendDelimiter(bool value) {
    store(appendDelimiter_, value, appendDelimiterKey);
}

void AppSettings::setRecordingHotkey(bool value) {
    if (isRecordingHotkey_ != value) {
        isRecordingHotkey_ = value;
        notify();
    }
}

std::optional<platform::Hotkey>
AppSettings::searchWindowHotkey(const std::vector<Snippet>& snippets) const {
    if (hasChosenSearchWindowHotkey_) {
        return searchWindowHotkey_;
    }
    return hasHotkeySnippet(snippets, defaultSearchWindowHotkey)
               ? std::nullopt
               : std::optional(defaultSearchWindowHotkey);
}

void AppSettings::setSearchWindowHotkey(std::optional<platform::Hotkey> hotkey) {
    const bool changed = !hasChosenSearchWindowHotkey_ || searchWindowHotkey_ != hotkey;
    hasChosenSearchWindowHotkey_ = true;
    searchWindowHotkey_ = hotkey;
    preferences_.setInteger(searchWindowHotkeyKey, encodeHotkey(hotkey));
    if (changed) {
        notify();
    }
}

void AppSettings::setLaunchAtLogin(bool enabled) {
    if (auto error = loginItem_.setEnabled(enabled)) {
        std::cout << "Launch at login error: " << *error << std::endl;
    }
}

} // namespace quillo::model
