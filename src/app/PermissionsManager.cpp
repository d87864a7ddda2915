#include "app/PermissionsManager.h"

#include <utility>

namespace quillo::app {

PermissionsManager::PermissionsManager(platform::AccessibilityTrust& trust, platform::Time& time)
    : trust_(trust), time_(time) {
    isAccessibilityGranted_ = trust_.isTrusted();
    inputSource_ = trust_.inputSource();
    if (isInputSourceMissing()) {
        startPolling();
    }
}

void PermissionsManager::setAccessibilityGranted(bool granted) {
    if (isAccessibilityGranted_ != granted) {
        isAccessibilityGranted_ = granted;
        notify();
    }
}

void PermissionsManager::setPollTimer(std::unique_ptr<platform::Timer> timer) {
    const bool changed = pollTimer_ != nullptr || timer != nullptr;
    // The old timer is destroyed here, possibly from inside its own tick: that is allowed.
    pollTimer_ = std::move(timer);
    if (changed) {
        notify();
    }
}

void PermissionsManager::requestAccess() {
    trust_.requestTrust();
    startPolling();
}

void PermissionsManager::startPolling() {
    setPollTimer(nullptr);
    // The timer dies with the manager, so its ticks never outlive `this`.
    setPollTimer(time_.startRepeating(pollInterval, [this] { checkPermission(); }));
}

void PermissionsManager::checkPermission() {
    auto source = trust_.inputSource();
    const bool sourceChanged = source != inputSource_;
    inputSource_ = std::move(source);
    const bool granted = trust_.isTrusted();
    if (granted != isAccessibilityGranted_ || sourceChanged) {
        isAccessibilityGranted_ = granted;
        notify();
    }
    if (isAccessibilityGranted_ && !isInputSourceMissing()) {
        setPollTimer(nullptr);
    }
}

} // namespace quillo::app
