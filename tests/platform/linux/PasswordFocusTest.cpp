// The focus as the accessibility bus and X tell it: sequences of events, and whether a password
// field has the keyboard after each.
#include "platform/linux/PasswordFocus.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::linuxdesktop {
namespace {

constexpr std::uint32_t textRole = 61; // "text", an ordinary entry
constexpr std::uint32_t password = PasswordFocus::passwordTextRole;

// zenity (process 400) with a password field and an entry; a Qt program (process 700); xterm
// (process 900), which is not on the bus.
constexpr ProcessId zenity = 400;
constexpr ProcessId qt = 700;
constexpr ProcessId xterm = 900;
const AccessibleObject gtkPassword{":1.4", "/org/a11y/atspi/accessible/12"};
const AccessibleObject gtkEntry{":1.4", "/org/a11y/atspi/accessible/9"};
const AccessibleObject qtEntry{":1.7", "/org/a11y/atspi/accessible/3"};
const AccessibleObject qtPassword{":1.7", "/org/a11y/atspi/accessible/5"};

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
    return {[object, answer](PasswordFocus& f) {
                EXPECT_EQ(f.roleToAsk(), std::optional(object)) << "the role was not asked";
                f.roleAnswered(object, answer);
            },
            expected};
}
Step deactivated(const std::string& application, bool expected) {
    return {[application](PasswordFocus& f) { f.windowDeactivated(application); }, expected};
}
Step gone(const std::string& application, bool expected) {
    return {[application](PasswordFocus& f) { f.connectionGone(application); }, expected};
}
Step joined(const std::string& connection, bool expected) {
    return {[connection](PasswordFocus& f) { f.applicationJoined(connection); }, expected};
}
Step front(std::optional<ProcessId> process, bool expected) {
    return {[process](PasswordFocus& f) { f.frontProgram(process); }, expected};
}
Step justStarted(ProcessId process, bool expected) {
    return {[process](PasswordFocus& f) { f.frontProgram(process, true); }, expected};
}
Step seen(const std::string& connection, bool expected) {
    return {[connection](PasswordFocus& f) { f.connectionSeen(connection); }, expected};
}
Step process(const std::string& connection, std::optional<ProcessId> owner, bool expected) {
    return {[connection, owner](PasswordFocus& f) { f.connectionProcess(connection, owner); },
            expected};
}
// The bus side starts the search it is told is needed.
Step searching(ProcessId program, bool expected) {
    return {[program](PasswordFocus& f) {
                EXPECT_EQ(f.searchNeeded(), std::optional(program)) << "no search was needed";
                f.searchStarted(program);
                EXPECT_EQ(f.searchNeeded(), std::nullopt) << "a search is needed twice";
            },
            expected};
}
Step noSearch(bool expected) {
    return {[](PasswordFocus& f) { EXPECT_EQ(f.searchNeeded(), std::nullopt); }, expected};
}
Step found(ProcessId program, FocusSearchResult::Outcome outcome, bool expected,
           const AccessibleObject& object = {}, std::uint32_t answer = 0) {
    return {[=](PasswordFocus& f) {
                f.searchFinished(program, {.outcome = outcome, .object = object, .role = answer});
            },
            expected};
}
Step found(ProcessId program, const AccessibleObject& object, std::uint32_t answer, bool expected) {
    return found(program, FocusSearchResult::Outcome::focused, expected, object, answer);
}
Step retry(bool expected) {
    return {[](PasswordFocus& f) { f.retrySearch(); }, expected};
}
Step connecting(bool expected) {
    return {[](PasswordFocus& f) { f.connecting(); }, expected};
}
Step connected(bool expected) {
    return {[](PasswordFocus& f) { f.connected(); }, expected};
}

using Outcome = FocusSearchResult::Outcome;

// The bus's connections as they are before the sequences below: zenity's and the Qt program's.
const std::vector<Step> onTheBus = {
    connected(false),    seen(":1.4", false),        process(":1.4", zenity, false),
    seen(":1.7", false), process(":1.7", qt, false),
};

// Windows that name no process: the events alone decide.
const std::vector<Sequence> byEventsAlone = {
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
     {gained(gtkEntry, true),
      gained(gtkPassword, true),
      {[](PasswordFocus& f) { f.roleAnswered(gtkEntry, textRole); }, true},
      role(gtkPassword, password, true)}},
    {"a late answer does not end the wait for the focused object",
     {gained(gtkPassword, true),
      gained(gtkEntry, true),
      {[](PasswordFocus& f) { f.roleAnswered(gtkPassword, password); }, true},
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
    {"the password field's window coming back keeps what its role was",
     {gained(gtkPassword, true), role(gtkPassword, password, true), deactivated(":1.4", false),
      gained(gtkPassword, true)}},
    {"a reconnection forgets the field and holds everything until the events flow again",
     {gained(gtkEntry, true), role(gtkEntry, textRole, false), connecting(true), connected(false)}},
};

// The program in front is known.
const std::vector<Sequence> byTheProgramInFront = {
    {"a program on the bus counts as a password field until a search finds its entry",
     {front(zenity, true), searching(zenity, true), found(zenity, gtkEntry, textRole, false)}},
    {"a new dialog whose first focus event was never sent is found by the search",
     {gained(qtEntry, true), role(qtEntry, textRole, false), front(zenity, true),
      searching(zenity, true), found(zenity, gtkPassword, password, true)}},
    {"a focus event makes the search needless",
     {front(zenity, true), gained(gtkPassword, true), noSearch(true),
      role(gtkPassword, password, true)}},
    {"an entry getting the focus back from an expansion's hold keeps its role",
     {front(zenity, true), gained(gtkEntry, true), role(gtkEntry, textRole, false),
      deactivated(":1.4", false), lost(gtkEntry, false), gained(gtkEntry, false)}},
    {"another object focused in between is asked anew",
     {front(zenity, true), gained(gtkEntry, true), role(gtkEntry, textRole, false),
      lost(gtkEntry, false), gained(gtkPassword, true), role(gtkPassword, password, true)}},
    {"the hotkey's own grab takes the X focus from the field, and the field stays protected",
     {front(zenity, true), gained(gtkPassword, true), role(gtkPassword, password, true),
      deactivated(":1.4", true), lost(gtkPassword, true), noSearch(true),
      gained(gtkPassword, true)}},
    {"a program that is not on the bus expands, and its loss of a password field is seen",
     {front(zenity, true), gained(gtkPassword, true), role(gtkPassword, password, true),
      front(xterm, true), deactivated(":1.4", false), front(zenity, true),
      gained(gtkPassword, true)}},
    {"back in a program whose field was an entry, the entry still counts",
     {front(qt, true), gained(qtEntry, true), role(qtEntry, textRole, false), front(xterm, false),
      front(qt, false), noSearch(false)}},
    {"a program in front whose connection's process is still asked counts as on the bus",
     {front(123, false), seen(":1.9", true), front(xterm, true), process(":1.9", 123, false),
      front(123, true), searching(123, true)}},
    {"a program that has just started with a toolkit of the bus counts as on it until it joins",
     {justStarted(123, true), seen(":1.9", true), process(":1.9", 123, true), searching(123, true),
      found(123, {":1.9", "/org/a11y/atspi/accessible/1"}, password, true)}},
    {"one that has joined and left is off the bus, though it has only just started",
     {justStarted(123, true), seen(":1.9", true), process(":1.9", 123, true), searching(123, true),
      found(123, {":1.9", "/org/a11y/atspi/accessible/1"}, textRole, false), gone(":1.9", false)}},
    {"and once it had the time to join, it does not",
     {justStarted(123, true), front(123, false), justStarted(xterm, true), front(xterm, false)}},
    {"a program that joins the bus while in front is searched",
     {front(123, false), seen(":1.9", true), process(":1.9", 123, true), searching(123, true),
      found(123, {":1.9", "/org/a11y/atspi/accessible/1"}, password, true)}},
    {"a search overtaken by a focus event of the program is ignored",
     {front(qt, true), searching(qt, true), gained(qtEntry, true), role(qtEntry, textRole, false),
      found(qt, qtPassword, password, false)}},
    {"a search about a program no longer in front changes nothing",
     {front(qt, true), searching(qt, true), front(xterm, false),
      found(qt, qtPassword, password, false), front(qt, true), searching(qt, true)}},
    {"nothing focused opens the program until one of its objects takes the focus",
     {front(zenity, true), searching(zenity, true), found(zenity, Outcome::nothingFocused, false),
      noSearch(false), gained(gtkPassword, true), role(gtkPassword, password, true)}},
    {"an unanswered search keeps the program closed until it is asked again",
     {front(zenity, true), searching(zenity, true), found(zenity, Outcome::unanswered, true),
      noSearch(true), retry(true), searching(zenity, true),
      found(zenity, gtkEntry, textRole, false)}},
    {"a role that cannot be learnt is asked of the program instead",
     {front(qt, true), gained(qtEntry, true), role(qtEntry, std::nullopt, true),
      searching(qt, true), found(qt, qtEntry, textRole, false)}},
    {"a program whose connections show no accessible objects expands once it has said so thrice",
     {front(zenity, true), searching(zenity, true), found(zenity, Outcome::notAccessible, true),
      retry(true), searching(zenity, true), found(zenity, Outcome::notAccessible, true),
      retry(true), searching(zenity, true), found(zenity, Outcome::notAccessible, false),
      noSearch(false), seen(":1.12", false), process(":1.12", zenity, true),
      searching(zenity, true)}},
    {"a program that has just connected is searched again once the registry takes it in",
     {front(zenity, true), searching(zenity, true), found(zenity, Outcome::notAccessible, true),
      joined(":1.7", true), noSearch(true), joined(":1.4", true), searching(zenity, true),
      found(zenity, gtkPassword, password, true)}},
    {"leaving the bus takes the program with it",
     {front(zenity, true), gained(gtkPassword, true), role(gtkPassword, password, true),
      gone(":1.4", false)}},
    {"after a reconnection the field in front is searched again",
     {front(zenity, true), gained(gtkEntry, true), role(gtkEntry, textRole, false),
      connecting(true), connected(false), seen(":1.4", true), process(":1.4", zenity, true),
      searching(zenity, true), found(zenity, gtkPassword, password, true)}},
};

void play(const Sequence& sequence, const std::vector<Step>& before) {
    SCOPED_TRACE(sequence.name);
    PasswordFocus focus;
    EXPECT_TRUE(focus.isPasswordFocused()) << "before the events are registered";
    for (std::size_t i = 0; i < before.size(); ++i) {
        before[i].event(focus);
        ASSERT_EQ(focus.isPasswordFocused(), before[i].passwordFocused) << "setting up, " << i;
    }
    for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
        sequence.steps[i].event(focus);
        EXPECT_EQ(focus.isPasswordFocused(), sequence.steps[i].passwordFocused)
            << "after step " << i + 1;
    }
}

TEST(PasswordFocus, FollowsTheFocusThroughTheBusEvents) {
    for (const Sequence& sequence : byEventsAlone) {
        play(sequence, onTheBus);
    }
}

TEST(PasswordFocus, AsksTheProgramInFrontWhereItsFocusIs) {
    for (const Sequence& sequence : byTheProgramInFront) {
        play(sequence, onTheBus);
    }
}

} // namespace
} // namespace quillo::linuxdesktop
