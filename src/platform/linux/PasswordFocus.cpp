#include "platform/linux/PasswordFocus.h"

namespace quillo::x11 {

void PasswordFocus::focusGained(const AccessibleObject& object) {
    if (focused_ == object && role_) {
        return;
    }
    focused_ = object;
    role_.reset();
}

void PasswordFocus::focusLost(const AccessibleObject& object) {
    if (focused_ == object) {
        focused_.reset();
        role_.reset();
    }
}

void PasswordFocus::roleAnswered(const AccessibleObject& object,
                                 std::optional<std::uint32_t> role) {
    if (focused_ != object) {
        return;
    }
    if (role) {
        role_ = role;
    } else {
        // Nothing to go on: an object whose role cannot be learnt does not block typing.
        focused_.reset();
        role_.reset();
    }
}

void PasswordFocus::windowDeactivated(const std::string& application) {
    if (focused_ && focused_->application == application) {
        focused_.reset();
        role_.reset();
    }
}

void PasswordFocus::applicationGone(const std::string& application) {
    windowDeactivated(application);
}

} // namespace quillo::x11
