// The focus as the accessibility bus tells it: sequences of events, and whether a password field
// has the keyboard after each.
#include "platform/linux/PasswordFocus.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::x11 {
namespace {

constexpr std::uint32_t textRole = 61; // "text", an ordinary entry
constexpr std::uint32_t password = PasswordFocus::passwordTextRole;

const AccessibleObject gtkPassword{":1.4", "/org/a11y/atspi/accessible/12"};
const AccessibleObject gtkEntry{":1.4", "/org/a11y/atspi/accessible/9"};
const AccessibleObject qtEntry{":1.7", "/org/a11y/atspi/accessible/3"};

struct Step {
    std::function<void(PasswordFocus&)> event;
    bool passwordFocused;
};

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

Step gained(const AccessibleObject& object, bool expected) {
    return {[object](PasswordFocus& f) { f.focusGained(object); }, expected};
}
Step lost(const AccessibleObject& object, bool expected) {
    return {[object](PasswordFocus& f) { f.focusLost(object); }, expected};
}
Step role(const AccessibleObject& object, std::optional<std::uint32_t> answer, bool expected) {
    return {[object, answer](PasswordFocus& f) { f.roleAnswered(object, answer); }, expected};
}
Step deactivated(const std::string& application, bool expected) {
    return {[application](PasswordFocus& f) { f.windowDeactivated(application); }, expected};
}
Step gone(const std::string& application, bool expected) {
    return {[application](PasswordFocus& f) { f.applicationGone(application); }, expected};
}
Step hold(bool expected) {
    return {[](PasswordFocus& f) { f.ownHoldBegan(); }, expected};
}

const std::vector<Sequence> sequences = {
    {"a password field holds the focus from the moment it takes it",
     {gained(gtkPassword, true), role(gtkPassword, password, true)}},
    {"an entry is secure only until its role is known",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false)}},
    {"moving from the password field to an entry ends it",
     {gained(gtkPassword, true), role(gtkPassword, password, true), lost(gtkPassword, false),
      gained(gtkEntry, true), role(gtkEntry, textRole, false)}},
    {"and so does moving to an entry without a loss in between",
     {gained(gtkPassword, true), role(gtkPassword, password, true), gained(qtEntry, true),
      role(qtEntry, textRole, false)}},
    {"losing the focus ends it even before another object takes it",
     {gained(gtkPassword, true), role(gtkPassword, password, true), lost(gtkPassword, false)}},
    {"the loss of an object that no longer has the focus changes nothing",
     {gained(gtkPassword, true), role(gtkPassword, password, true), lost(gtkEntry, true)}},
    {"a late answer about the object before is ignored",
     {gained(gtkEntry, true), gained(gtkPassword, true), role(gtkEntry, textRole, true),
      role(gtkPassword, password, true)}},
    {"a late answer does not end the wait for the focused object",
     {gained(gtkPassword, true), gained(gtkEntry, true), role(gtkPassword, password, true),
      role(gtkEntry, textRole, false)}},
    {"an unanswered role question does not block typing for good",
     {gained(qtEntry, true), role(qtEntry, std::nullopt, false)}},
    {"the application's window losing the focus ends it",
     {gained(gtkPassword, true), role(gtkPassword, password, true), deactivated(":1.7", true),
      deactivated(":1.4", false)}},
    {"the application leaving the bus ends it",
     {gained(gtkPassword, true), role(gtkPassword, password, true), gone(":1.7", true),
      gone(":1.4", false)}},
    {"focus events repeated for a known password field keep it",
     {gained(gtkPassword, true), role(gtkPassword, password, true), gained(gtkPassword, true)}},
    {"the password field's window coming back asks again",
     {gained(gtkPassword, true), role(gtkPassword, password, true), deactivated(":1.4", false),
      gained(gtkPassword, true), role(gtkPassword, password, true)}},
    {"an entry getting the focus back asks again",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false), lost(gtkEntry, false),
      gained(gtkEntry, true)}},
    {"an entry getting the focus back from the program's own hold keeps its role",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false), hold(false), lost(gtkEntry, false),
      gained(gtkEntry, false), lost(gtkEntry, false), gained(gtkEntry, true)}},
    {"and so does its window",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false), hold(false),
      deactivated(":1.4", false), gained(gtkEntry, false)}},
    {"another object focused in between ends what the hold kept",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false), hold(false), lost(gtkEntry, false),
      gained(qtEntry, true), gained(gtkEntry, true)}},
    {"the hold keeps no role that was not known",
     {gained(gtkEntry, true), hold(true), lost(gtkEntry, false), gained(gtkEntry, true)}},
    {"nor one of an application that left the bus",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false), hold(false), lost(gtkEntry, false),
      gone(":1.4", false), gained(gtkEntry, true)}},
};

TEST(PasswordFocus, FollowsTheFocusThroughTheBusEvents) {
    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        PasswordFocus focus;
        EXPECT_FALSE(focus.isPasswordFocused());
        for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
            sequence.steps[i].event(focus);
            EXPECT_EQ(focus.isPasswordFocused(), sequence.steps[i].passwordFocused)
                << "after step " << i + 1;
        }
    }
}

} // namespace
} // namespace quillo::x11
