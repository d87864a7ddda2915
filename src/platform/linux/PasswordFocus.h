// Whether the keyboard focus is in a password field, from two sources that fail in different ways,
// each able to close on its own:
//
// - The accessibility bus's events name the object that took or lost the focus; its role comes
//   later, from a question to its application. Until the answer arrives the object counts as a
//   password field: the keys typed meanwhile are only passed on, and the typing buffer keeps what
//   it had, whereas keys buffered from a password would stay in memory. An object that loses the
//   focus, whose window is deactivated or whose application leaves the bus no longer holds it;
//   when it gets the focus back it keeps the role it had, for the keyboard grab of an
//   expansion's hold makes its program report just such a loss and gain, and keys typed on in
//   that moment would otherwise be neither buffered nor matched.
//
// - X names the program in front: the process whose window has the keyboard. A program with a
//   connection to the bus can say where its focus is, and until it has (by an event or by the
//   answer to a search of its accessible tree) it counts as showing a password field. Events are
//   not enough for this: a program that has just started sends none until it has fetched the list
//   of events anyone listens to, so the focus its first window takes on showing goes unreported;
//   and this program's own hotkey grabs take the X focus from a field for a moment, which the
//   field's program reports as a loss. Neither changes the program in front, so neither opens a
//   field here. A program with no connection to the bus (xterm, most Java and Electron programs)
//   has no password field anyone could see, unless it has only just started and is about to
//   connect, as Qt programs do once their first window shows. The events alone decide for a window
//   that names no process.
//
// While the bus is being (re)connected and the events are not yet registered, nothing can be known:
// every field counts as a password field.
//
// Plain state kept on the main thread, so that the keyboard handler's question is the read of a few
// fields. The bus side asks the role and runs the searches that it is told are needed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillo::linuxdesktop {

using ProcessId = std::int64_t;

// An object on the accessibility bus: its application's unique bus name and its object path.
struct AccessibleObject {
    std::string application;
    std::string path;
    bool operator==(const AccessibleObject&) const = default;
};

// What a search of a program's accessible tree found out about its focus.
struct FocusSearchResult {
    enum class Outcome {
        focused,        // `object`, of role `role`, has the focus
        nothingFocused, // the program's objects answered, and none has the focus
        notAccessible,  // none of the program's connections shows accessible objects
        unanswered,     // too slow or failed: nothing learnt
    };
    Outcome outcome = Outcome::unanswered;
    AccessibleObject object;
    std::uint32_t role = 0;
};

class PasswordFocus {
  public:
    // The accessibility bus's role number of a password field ("password text").
    static constexpr std::uint32_t passwordTextRole = 40;

    bool isPasswordFocused() const;

    // The bus: until the events are registered nothing can be known, and after a reconnection
    // nothing known before holds.
    void connecting();
    void connected();

    // The connections to the bus and the processes they belong to: a connection is first seen, then
    // its process is told (none when it cannot be), until it leaves.
    void connectionSeen(const std::string& connection);
    void connectionProcess(const std::string& connection, std::optional<ProcessId> process);
    void connectionGone(const std::string& connection);
    // The registry took the connection's objects in as an application: a program that was just
    // connecting may show them now.
    void applicationJoined(const std::string& connection);

    // The process whose window has the keyboard; none without a window or for a window that does
    // not name its process. `mayJoin`: it is not on the bus, but has just started with a toolkit
    // that connects to it, and counts as on the bus until it has or it is told otherwise.
    void frontProgram(std::optional<ProcessId> process, bool mayJoin = false);

    void focusGained(const AccessibleObject& object);
    void focusLost(const AccessibleObject& object);
    // A window of the application was deactivated: its focused object no longer has the keyboard,
    // and no event may say so.
    void windowDeactivated(const std::string& application);
    // The answer to the role question; none when it could not be asked or was not answered. Answers
    // for an object that no longer has the focus change nothing.
    void roleAnswered(const AccessibleObject& object, std::optional<std::uint32_t> role);

    // The process of the object with the focus, while it holds it and its process is known: the
    // program in front where no window system tells it.
    std::optional<ProcessId> focusedProcess() const;

    // The object whose role is still to be asked, if any.
    std::optional<AccessibleObject> roleToAsk() const;
    // The program in front, when its focus is unknown and no search of it is under way or waiting
    // to be retried.
    std::optional<ProcessId> searchNeeded() const;
    // The connections of a process, for its search.
    std::vector<std::string> connectionsOf(ProcessId process) const;
    void searchStarted(ProcessId process);
    // Results for a program no longer in front, or overtaken by an event of the program, change
    // nothing. A program counts as showing no accessible objects only after saying so a few times:
    // one that has just connected may not have put them on the bus yet.
    void searchFinished(ProcessId process, const FocusSearchResult& result);
    // An unanswered search is asked again only when this is called.
    void retrySearch();
    bool searchUnanswered() const { return search_ == Search::unanswered; }

  private:
    enum class Search { none, running, nothingFocused, notAccessible, unanswered };

    struct Focus {
        AccessibleObject object;
        std::optional<std::uint32_t> role; // none while unknown
        bool roleUnknowable = false;
        bool held = true; // false once lost or deactivated
    };

    bool eventsSayPassword() const;
    bool frontSaysPassword() const;
    bool isOfFront(const AccessibleObject& object) const;
    bool isOf(ProcessId process, const std::string& connection) const;

    bool connected_ = false;
    std::map<std::string, std::optional<ProcessId>> connections_; // none while being asked
    std::optional<ProcessId> front_;
    bool frontMayJoin_ = false;
    std::optional<Focus> focus_;
    Search search_ = Search::none;      // about the program in front
    int refusals_ = 0;                  // its searches that found no accessible objects
    std::uint64_t focusEvents_ = 0;     // focus gains so far
    std::uint64_t searchStartedAt_ = 0; // focus gains when the search started
};

} // namespace quillo::linuxdesktop
