// Whether Quillo may watch and type on the keyboard, and a once-a-second watch for the moment
// the user grants it, so that the menu and the onboarding window update by themselves while the
// user is in the system's settings.
//
// Where the keys come through an input method, Quillo works once it is also one of the
// desktop's input sources: the watch follows that too, from the start, until both are in place.
//
// Once access is granted (and the source added) the watch stops: a later withdrawal is not
// noticed here. Observers hear of each property that really changes: the grant, the input
// source, and the watch starting or stopping.
#pragma once

#include "model/Observable.h"
#include "platform/Platform.h"

#include <chrono>
#include <memory>
#include <optional>

namespace quillo::app {

class PermissionsManager : public model::Observable {
  public:
    static constexpr std::chrono::milliseconds pollInterval{1000};

    // Reads the trust state and the input source at once, and watches while the source is
    // missing.
    PermissionsManager(platform::AccessibilityTrust& trust, platform::Time& time);

    // The last known trust state.
    bool isAccessibilityGranted() const { return isAccessibilityGranted_; }
    // What the desktop said last of Quillo's input source; none where the keys come another way.
    const std::optional<platform::InputSource>& inputSource() const { return inputSource_; }
    // The keys come through an input method and Quillo is not (known to be) an input source.
    bool isInputSourceMissing() const { return inputSource_ && !inputSource_->added; }
    // For the start-up poll of the application, which watches the trust state on its own.
    void setAccessibilityGranted(bool granted);

    // True while the watch runs.
    bool isPolling() const { return pollTimer_ != nullptr; }

    // Asks the system to offer the permission to the user, then watches for the answer.
    void requestAccess();
    // (Re)starts the watch; the first look is one interval later.
    void startPolling();
    // One look at the trust state and the input source; the watch stops at the first look that
    // finds both.
    void checkPermission();

  private:
    void setPollTimer(std::unique_ptr<platform::Timer> timer);

    platform::AccessibilityTrust& trust_;
    platform::Time& time_;
    bool isAccessibilityGranted_ = false;
    std::optional<platform::InputSource> inputSource_;
    // Destroying it stops the watch, also when the manager goes first.
    std::unique_ptr<platform::Timer> pollTimer_;
};

} // namespace quillo::app
