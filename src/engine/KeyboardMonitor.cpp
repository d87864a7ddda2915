#include "engine/KeyboardMonitor.h"

namespace quillo::engine {

KeyboardMonitor::KeyboardMonitor(platform::KeyboardTap& tap)
    : tap_(tap), handler_(std::make_shared<Handler>()) {}

KeyboardMonitor::~KeyboardMonitor() = default;

void KeyboardMonitor::setOnKeyEvent(Handler handler) {
    *handler_ = std::move(handler);
}

bool KeyboardMonitor::start() {
    std::weak_ptr<Handler> weakHandler = handler_;
    return tap_.start([weakHandler](const platform::KeyEvent& event) {
        auto handler = weakHandler.lock();
        return handler && *handler && (*handler)(event);
    });
}

} // namespace quillo::engine
