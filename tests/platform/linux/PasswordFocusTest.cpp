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

using Step = std::function<void(PasswordFocus&)>;

// One sequence of events, named in the comment above it in the tables.
struct Sequence {
    // After each step, whether a password field is taken to have the keyboard: + yes, - no.
    std::string passwordFocused;
    std::vector<Step> steps;
};

// A step that calls one method with the step's arguments.
#define QUILLO_STEP(name, call, ...)                                                               \
    Step name(__VA_ARGS__) {                                                                       \
        return [=](PasswordFocus& f) { f.call; };                                                  \
    }
QUILLO_STEP(gained, focusGained(object), const AccessibleObject& object)
QUILLO_STEP(lost, focusLost(object), const AccessibleObject& object)
QUILLO_STEP(deactivated, windowDeactivated(application), const std::string& application)
QUILLO_STEP(gone, connectionGone(application), const std::string& application)
QUILLO_STEP(joined, applicationJoined(connection), const std::string& connection)
QUILLO_STEP(front, frontProgram(process), std::optional<ProcessId> process)
QUILLO_STEP(justStarted, frontProgram(process, true), ProcessId process)
QUILLO_STEP(seen, connectionSeen(connection), const std::string& connection)
QUILLO_STEP(process, connectionProcess(connection, owner), const std::string& connection,
            std::optional<ProcessId> owner)
QUILLO_STEP(retry, retrySearch())
QUILLO_STEP(connecting, connecting())
QUILLO_STEP(connected, connected())
#undef QUILLO_STEP

Step role(const AccessibleObject& object, std::optional<std::uint32_t> answer) {
    return [object, answer](PasswordFocus& f) {
        EXPECT_EQ(f.roleToAsk(), std::optional(object)) << "the role was not asked";
        f.roleAnswered(object, answer);
    };
}
// The bus side starts the search it is told is needed.
Step searching(ProcessId program) {
    return [program](PasswordFocus& f) {
        EXPECT_EQ(f.searchNeeded(), std::optional(program)) << "no search was needed";
        f.searchStarted(program);
        EXPECT_EQ(f.searchNeeded(), std::nullopt) << "a search is needed twice";
    };
}
Step noSearch() {
    return [](PasswordFocus& f) { EXPECT_EQ(f.searchNeeded(), std::nullopt); };
}
Step found(ProcessId program, FocusSearchResult::Outcome outcome,
           const AccessibleObject& object = {}, std::uint32_t answer = 0) {
    return [=](PasswordFocus& f) {
        f.searchFinished(program, {.outcome = outcome, .object = object, .role = answer});
    };
}
Step found(ProcessId program, const AccessibleObject& object, std::uint32_t answer) {
    return found(program, FocusSearchResult::Outcome::focused, object, answer);
}
using Outcome = FocusSearchResult::Outcome;

// The bus's connections as they are before the sequences below: zenity's and the Qt program's.
const Sequence onTheBus = {
    "-----",
    {connected(), seen(":1.4"), process(":1.4", zenity), seen(":1.7"), process(":1.7", qt)}};

// First windows that name no process, where the events alone decide.
const std::vector<Sequence> sequences = {
    // A password field holds the focus from the moment it takes it, and moving to an entry ends it
    // once the entry's role is known.
    {"++-+-",
     {gained(gtkPassword), role(gtkPassword, password), lost(gtkPassword), gained(gtkEntry),
      role(gtkEntry, textRole)}},
    // The loss of an object that no longer has the focus changes nothing.
    {"+++", {gained(gtkPassword), role(gtkPassword, password), lost(gtkEntry)}},
    // A late answer about the object before is ignored.
    {"++++",
     {gained(gtkEntry), gained(gtkPassword),
      [](PasswordFocus& f) { f.roleAnswered(gtkEntry, textRole); }, role(gtkPassword, password)}},
    // The application's window losing the focus ends it.
    {"+++-",
     {gained(gtkPassword), role(gtkPassword, password), deactivated(":1.7"), deactivated(":1.4")}},
    // The application leaving the bus ends it.
    {"+++-", {gained(gtkPassword), role(gtkPassword, password), gone(":1.7"), gone(":1.4")}},
    // An entry is secure only until its role is known. A reconnection forgets the field and holds
    // everything until the events flow again.
    {"+-+-", {gained(gtkEntry), role(gtkEntry, textRole), connecting(), connected()}},

    // From here on the program in front is known.
    // A program on the bus counts as a password field until a search finds its entry.
    {"++-", {front(zenity), searching(zenity), found(zenity, gtkEntry, textRole)}},
    // A new dialog whose first focus event was never sent is found by the search.
    {"+-+++",
     {gained(qtEntry), role(qtEntry, textRole), front(zenity), searching(zenity),
      found(zenity, gtkPassword, password)}},
    // A focus event makes the search needless.
    {"++++", {front(zenity), gained(gtkPassword), noSearch(), role(gtkPassword, password)}},
    // An entry getting the focus back from an expansion's hold keeps its role.
    {"++----",
     {front(zenity), gained(gtkEntry), role(gtkEntry, textRole), deactivated(":1.4"),
      lost(gtkEntry), gained(gtkEntry)}},
    // The hotkey's own grab takes the X focus from the field, and the field stays protected.
    {"+++++++",
     {front(zenity), gained(gtkPassword), role(gtkPassword, password), deactivated(":1.4"),
      lost(gtkPassword), noSearch(), gained(gtkPassword)}},
    // A program that is not on the bus expands, and its loss of a password field is seen.
    {"++++-++",
     {front(zenity), gained(gtkPassword), role(gtkPassword, password), front(xterm),
      deactivated(":1.4"), front(zenity), gained(gtkPassword)}},
    // Back in a program whose field was an entry, the entry still counts.
    {"++----",
     {front(qt), gained(qtEntry), role(qtEntry, textRole), front(xterm), front(qt), noSearch()}},
    // A program in front whose connection's process is still asked counts as on the bus.
    {"-++-++",
     {front(123), seen(":1.9"), front(xterm), process(":1.9", 123), front(123), searching(123)}},
    // A program that has just started with a toolkit of the bus counts as on it until it joins.
    {"+++++",
     {justStarted(123), seen(":1.9"), process(":1.9", 123), searching(123),
      found(123, {":1.9", "/org/a11y/atspi/accessible/1"}, password)}},
    // And once it had the time to join, it does not.
    {"+-+-", {justStarted(123), front(123), justStarted(xterm), front(xterm)}},
    // A search overtaken by a focus event of the program is ignored.
    {"+++--",
     {front(qt), searching(qt), gained(qtEntry), role(qtEntry, textRole),
      found(qt, qtPassword, password)}},
    // A search about a program no longer in front changes nothing.
    {"++--++",
     {front(qt), searching(qt), front(xterm), found(qt, qtPassword, password), front(qt),
      searching(qt)}},
    // Nothing focused opens the program until one of its objects takes the focus.
    {"++--++",
     {front(zenity), searching(zenity), found(zenity, Outcome::nothingFocused), noSearch(),
      gained(gtkPassword), role(gtkPassword, password)}},
    // An unanswered search keeps the program closed until it is asked again.
    {"++++++-",
     {front(zenity), searching(zenity), found(zenity, Outcome::unanswered), noSearch(), retry(),
      searching(zenity), found(zenity, gtkEntry, textRole)}},
    // A role that cannot be learnt is asked of the program instead.
    {"++++-",
     {front(qt), gained(qtEntry), role(qtEntry, std::nullopt), searching(qt),
      found(qt, qtEntry, textRole)}},
    // A program whose connections show no accessible objects expands once it has said so thrice.
    {"++++++++---++",
     {front(zenity), searching(zenity), found(zenity, Outcome::notAccessible), retry(),
      searching(zenity), found(zenity, Outcome::notAccessible), retry(), searching(zenity),
      found(zenity, Outcome::notAccessible), noSearch(), seen(":1.12"), process(":1.12", zenity),
      searching(zenity)}},
    // A program that has just connected is searched again once the registry takes it in.
    {"++++++++",
     {front(zenity), searching(zenity), found(zenity, Outcome::notAccessible), joined(":1.7"),
      noSearch(), joined(":1.4"), searching(zenity), found(zenity, gtkPassword, password)}},
    // After a reconnection the field in front is searched again.
    {"++-+-++++",
     {front(zenity), gained(gtkEntry), role(gtkEntry, textRole), connecting(), connected(),
      seen(":1.4"), process(":1.4", zenity), searching(zenity),
      found(zenity, gtkPassword, password)}},
};

TEST(PasswordFocus, FollowsTheFocusThroughTheBusEventsAndTheProgramInFront) {
    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE("sequence " + std::to_string(&sequence - sequences.data() + 1));
        PasswordFocus focus;
        EXPECT_TRUE(focus.isPasswordFocused()) << "before the events are registered";
        for (const Sequence* phase : {&onTheBus, &sequence}) {
            ASSERT_EQ(phase->steps.size(), phase->passwordFocused.size());
            for (std::size_t i = 0; i < phase->steps.size(); ++i) {
                phase->steps[i](focus);
                EXPECT_EQ(focus.isPasswordFocused(), phase->passwordFocused[i] == '+')
                    << (phase == &onTheBus ? "setting up, " : "") << "after step " << i + 1;
            }
        }
    }
}

} // namespace
} // namespace quillo::linuxdesktop
