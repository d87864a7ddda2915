#include "model/AppSettings.h"

#include <iostream>

namespace quillo::model {

AppSettings::AppSettings(platform::Preferences& preferences, platform::LoginItem& loginItem)
    : preferences_(preferences), loginItem_(loginItem) {
    isExpansionEnabled_ = preferences_.boolValue(isExpansionEnabledKey).value_or(true);
    playSoundOnExpansion_ = preferences_.boolValue(playSoundOnExpansionKey).value_or(false);
    launchAtLogin_ = loginItem_.isEnabled();
    hasCompletedOnboarding_ = preferences_.boolValue(hasCompletedOnboardingKey).value_or(false);
    appendDelimiter_ = preferences_.boolValue(appendDelimiterKey).value_or(false);
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

void AppSettings::setLaunchAtLogin(bool enabled) {
    if (auto error = loginItem_.setEnabled(enabled)) {
        std::cout << "Launch at login error: " << *error << std::endl;
    }
}

} // namespace quillo::model
