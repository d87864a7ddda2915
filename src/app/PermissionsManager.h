// Whether Quillo may watch and type on the keyboard, and a once-a-second watch for the moment
// the user grants it, so that the menu and the onboarding window update by themselves while the
// user is in the system's settings.
//
// Once access is granted the watch stops: a later withdrawal is not noticed here. Observers hear
// of each property that really changes: the grant, and the watch starting or stopping.
#pragma once

#include "model/Observable.h"
#include "platform/Platform.h"

#include <chrono>
#include <memory>

namespace quillo::app {

class PermissionsManager : public model::Observable {
  public:
    static constexpr std::chrono::milliseconds pollInterval{1000};

    // Reads the trust state at once.
    PermissionsManager(platform::AccessibilityTrust& trust, platform::Time& time);

    // The last known trust state.
    bool isAccessibilityGranted() const { return isAccessibilityGranted_; }
    // For the start-up poll of the application, which watches the trust state on its own.
    void setAccessibilityGranted(bool granted);

    // True while the watch runs.
    bool isPolling() const { return pollTimer_ != nullptr; }

    // Asks the system to offer the permission to the user, then watches for the answer.
    void requestAccess();
    // (Re)starts the watch; the first look is one interval later.
    void startPolling();
    // One look at the trust state; the watch stops at the first look that finds access.
    void checkPermission();

  private:
    void setPollTimer(std::unique_ptr<platform::Timer> timer);

    platform::AccessibilityTrust& trust_;
    platform::Time& time_;
    bool isAccessibilityGranted_ = false;
    // Destroying it stops the watch, also when the manager goes first.
    std::unique_ptr<platform::Timer> pollTimer_;
};

} // namespace quillo::app
