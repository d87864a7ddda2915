// Whether the keyboard focus is in a password field, as the accessibility bus's events tell it.
//
// The events name the object that took or lost the focus; its role comes later, from a question
// to its application. Until the answer arrives the object counts as a password field: the keys
// typed meanwhile are only passed on, and the typing buffer keeps what it had, whereas keys
// buffered from a password would stay in memory. An application that stops answering, leaves
// the bus, or whose window loses the focus no longer holds it.
//
// While this program holds the keyboard for an expansion, the focused window loses the focus to
// the hold and gets it back when it ends, and its application tells the bus so. That is no new
// field: the object that gets the focus back, with nothing else focused in between, keeps the
// role it had. (A hold only ever happens outside password fields, and the application gets no
// key from the user while it lasts.)
//
// Plain state kept on the main thread, so that the keyboard handler's question is the read of a
// flag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillo::x11 {

// An object on the accessibility bus: its application's unique bus name and its object path.
struct AccessibleObject {
    std::string application;
    std::string path;
    bool operator==(const AccessibleObject&) const = default;
};

class PasswordFocus {
  public:
    // The accessibility bus's role number of a password field ("password text").
    static constexpr std::uint32_t passwordTextRole = 40;

    bool isPasswordFocused() const { return focused_ && (!role_ || *role_ == passwordTextRole); }
    // The object whose role is still to be asked, if any.
    const std::optional<AccessibleObject>& focused() const { return focused_; }

    void focusGained(const AccessibleObject& object);
    void focusLost(const AccessibleObject& object);
    // The answer to the role question; none when it could not be asked or was not answered.
    // Answers for an object that no longer has the focus change nothing.
    void roleAnswered(const AccessibleObject& object, std::optional<std::uint32_t> role);
    // A window of the application was deactivated: its focused object no longer has the
    // keyboard, and no event may say so.
    void windowDeactivated(const std::string& application);
    void applicationGone(const std::string& application);
    // This program has taken the keyboard for an expansion.
    void ownHoldBegan() { holdSeen_ = true; }

  private:
    // The focus lost to this program's hold: the object and the role it had.
    struct Kept {
        AccessibleObject object;
        std::uint32_t role;
    };
    void forget();

    std::optional<AccessibleObject> focused_;
    std::optional<std::uint32_t> role_; // none while unknown
    // The application's news of the hold comes later than the hold itself: a loss counts as the
    // hold's from its start until the next object gains the focus.
    bool holdSeen_ = false;
    std::optional<Kept> kept_;
};

} // namespace quillo::x11
