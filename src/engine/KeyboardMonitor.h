// Hands every key-down and modifier change that the system's keyboard tap sees to one handler,
// which answers whether to withhold the event. It knows nothing of snippets or text.
#pragma once

#include "platform/Platform.h"

#include <functional>
#include <memory>

namespace quillo::engine {

class KeyboardMonitor {
  public:
    using Handler = std::function<bool(const platform::KeyEvent&)>;

    explicit KeyboardMonitor(platform::KeyboardTap& tap);
    // The tap may outlive the monitor; once the monitor is gone every event passes.
    ~KeyboardMonitor();
    KeyboardMonitor(const KeyboardMonitor&) = delete;
    KeyboardMonitor& operator=(const KeyboardMonitor&) = delete;

    // May be replaced at any time; without one every event passes.
    void setOnKeyEvent(Handler handler);
    // False when the system refused the tap (no permission, no display).
    bool start();

    // Holding the keyboard while an expansion writes: see platform::KeyboardTap.
    void beginHold(std::function<void(bool held)> established) {
        tap_.beginHold(std::move(established));
    }
    void replay(const platform::KeyEvent& event) { tap_.replay(event); }
    void endHold() { tap_.endHold(); }

  private:
    platform::KeyboardTap& tap_;
    std::shared_ptr<Handler> handler_;
};

} // namespace quillo::engine
