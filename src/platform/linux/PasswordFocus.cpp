#include "platform/linux/PasswordFocus.h"

#include <algorithm>

namespace quillo::linuxdesktop {

namespace {
constexpr int refusalsBelieved = 3;
}

bool PasswordFocus::isPasswordFocused() const {
    return !connected_ || eventsSayPassword() || frontSaysPassword();
}

bool PasswordFocus::eventsSayPassword() const {
    return focus_ && focus_->held && !focus_->roleUnknowable &&
           (!focus_->role || *focus_->role == passwordTextRole);
}

bool PasswordFocus::frontSaysPassword() const {
    if (!front_) {
        return false;
    }
    const bool onBus = std::any_of(connections_.begin(), connections_.end(),
                                   [this](const auto& entry) { return entry.second == front_; });
    if (!onBus) {
        // A connection whose process is not known yet may be the front program's.
        return frontMayJoin_ || std::any_of(connections_.begin(), connections_.end(),
                                            [](const auto& entry) { return !entry.second; });
    }
    if (focus_ && isOfFront(focus_->object) && !focus_->roleUnknowable) {
        // Whether or not still held: a loss that leaves the program in front is a moment of this
        // program's own grab, or the way to another of the program's objects.
        return !focus_->role || *focus_->role == passwordTextRole;
    }
    return search_ != Search::nothingFocused && search_ != Search::notAccessible;
}

std::optional<ProcessId> PasswordFocus::focusedProcess() const {
    if (!connected_ || !focus_ || !focus_->held) {
        return std::nullopt;
    }
    const auto it = connections_.find(focus_->object.application);
    return it != connections_.end() ? it->second : std::nullopt;
}

bool PasswordFocus::isOf(ProcessId process, const std::string& connection) const {
    const auto it = connections_.find(connection);
    return it != connections_.end() && it->second == process;
}

bool PasswordFocus::isOfFront(const AccessibleObject& object) const {
    return front_ && isOf(*front_, object.application);
}

void PasswordFocus::connecting() {
    connected_ = false;
    connections_.clear();
    focus_.reset();
    search_ = Search::none;
}

void PasswordFocus::connected() {
    connected_ = true;
    focus_.reset();
    search_ = Search::none;
}

void PasswordFocus::connectionSeen(const std::string& connection) {
    connections_.try_emplace(connection);
}

void PasswordFocus::connectionProcess(const std::string& connection,
                                      std::optional<ProcessId> process) {
    const auto it = connections_.find(connection);
    if (it == connections_.end()) {
        return;
    }
    if (!process) {
        connections_.erase(it);
        return;
    }
    it->second = process;
    if (process == front_) {
        // It has joined; once it leaves, it is not on the bus.
        frontMayJoin_ = false;
        if (search_ == Search::notAccessible) {
            search_ = Search::none;
        }
    }
}

void PasswordFocus::connectionGone(const std::string& connection) {
    connections_.erase(connection);
    if (focus_ && focus_->object.application == connection) {
        focus_.reset();
    }
}

void PasswordFocus::applicationJoined(const std::string& connection) {
    if (front_ && isOf(*front_, connection) && search_ != Search::running) {
        search_ = Search::none;
    }
}

void PasswordFocus::frontProgram(std::optional<ProcessId> process, bool mayJoin) {
    if (process != front_) {
        front_ = process;
        search_ = Search::none;
        refusals_ = 0;
    }
    frontMayJoin_ = mayJoin && process;
}

void PasswordFocus::focusGained(const AccessibleObject& object) {
    ++focusEvents_;
    if (focus_ && focus_->object == object && focus_->role) {
        focus_->held = true;
        return;
    }
    focus_ = Focus{.object = object, .role = std::nullopt};
}

void PasswordFocus::focusLost(const AccessibleObject& object) {
    if (focus_ && focus_->object == object) {
        focus_->held = false;
    }
}

void PasswordFocus::windowDeactivated(const std::string& application) {
    if (focus_ && focus_->object.application == application) {
        focus_->held = false;
    }
}

void PasswordFocus::roleAnswered(const AccessibleObject& object,
                                 std::optional<std::uint32_t> role) {
    if (!focus_ || focus_->object != object) {
        return;
    }
    focus_->role = role;
    focus_->roleUnknowable = !role;
}

std::optional<AccessibleObject> PasswordFocus::roleToAsk() const {
    if (connected_ && focus_ && !focus_->role && !focus_->roleUnknowable) {
        return focus_->object;
    }
    return std::nullopt;
}

std::optional<ProcessId> PasswordFocus::searchNeeded() const {
    if (!connected_ || !front_ || search_ != Search::none || connectionsOf(*front_).empty()) {
        return std::nullopt;
    }
    if (focus_ && isOfFront(focus_->object) && !focus_->roleUnknowable) {
        return std::nullopt;
    }
    return front_;
}

std::vector<std::string> PasswordFocus::connectionsOf(ProcessId process) const {
    std::vector<std::string> result;
    for (const auto& [connection, owner] : connections_) {
        if (owner == process) {
            result.push_back(connection);
        }
    }
    return result;
}

void PasswordFocus::searchStarted(ProcessId process) {
    if (process == front_) {
        search_ = Search::running;
        searchStartedAt_ = focusEvents_;
    }
}

void PasswordFocus::searchFinished(ProcessId process, const FocusSearchResult& result) {
    if (process != front_ || search_ != Search::running) {
        return;
    }
    search_ = Search::none;
    if (focusEvents_ != searchStartedAt_ && focus_ && isOfFront(focus_->object)) {
        return;
    }
    switch (result.outcome) {
    case FocusSearchResult::Outcome::focused:
        focus_ = Focus{.object = result.object, .role = result.role};
        break;
    case FocusSearchResult::Outcome::nothingFocused:
        search_ = Search::nothingFocused;
        if (focus_ && isOfFront(focus_->object)) {
            focus_.reset();
        }
        break;
    case FocusSearchResult::Outcome::notAccessible:
        search_ = ++refusals_ < refusalsBelieved ? Search::unanswered : Search::notAccessible;
        break;
    case FocusSearchResult::Outcome::unanswered:
        search_ = Search::unanswered;
        break;
    }
}

void PasswordFocus::retrySearch() {
    if (search_ == Search::unanswered) {
        search_ = Search::none;
    }
}

} // namespace quillo::linuxdesktop
