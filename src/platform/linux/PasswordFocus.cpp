#include "platform/linux/PasswordFocus.h"

#include <utility>

namespace quillo::x11 {

void PasswordFocus::focusGained(const AccessibleObject& object) {
    holdSeen_ = false;
    const std::optional<Kept> kept = std::exchange(kept_, std::nullopt);
    if (focused_ == object && role_) {
        return;
    }
    focused_ = object;
    role_.reset();
    if (kept && kept->object == object) {
        role_ = kept->role;
    }
}

void PasswordFocus::forget() {
    if (holdSeen_ && focused_ && role_) {
        kept_ = Kept{*focused_, *role_};
    }
    focused_.reset();
    role_.reset();
}

void PasswordFocus::focusLost(const AccessibleObject& object) {
    if (focused_ == object) {
        forget();
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
        forget();
    }
}

void PasswordFocus::applicationGone(const std::string& application) {
    if (kept_ && kept_->object.application == application) {
        kept_.reset();
    }
    if (focused_ && focused_->application == application) {
        focused_.reset();
        role_.reset();
    }
}

} // namespace quillo::x11
