// Which object of a program has the keyboard focus, found by asking the program itself: the
// top-level windows of each of its applications on the accessibility bus (the active ones, or
// all when none says it is active), then their shown descendants, breadth first, until an object
// whose state says "focused"; then that object's role.
//
// For the moments when no event told: a program that has just started sends none about the focus
// its first window takes, and none about a focus taken before this program listened. A window
// may also not say yet that it is focused (its program has not handled the change), so a walk
// that finds nothing is made again until the time is up; only then does "nothing focused" count.
//
// Many small questions, asked a few at a time: the search stops at its time limit or at its
// count of objects, and then says that nothing was learnt.
#pragma once

#include "platform/linux/PasswordFocus.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

namespace quillo::linuxdesktop {

class AccessibleFocusSearch : public QObject {
  public:
    static constexpr int timeLimitMs = 200;
    static constexpr int objectLimit = 400;

    using Done = std::function<void(const FocusSearchResult&)>;

    // Starts at once. `done` is called once, from the main loop, unless the search is destroyed
    // first; `applications` are the program's connections to `bus`.
    AccessibleFocusSearch(const QDBusConnection& bus, std::vector<std::string> applications,
                          Done done);

  private:
    struct Node {
        AccessibleObject object;
        bool topLevel = false;
    };

    void startWalk();
    void visit(const Node& node);
    void stateAnswered(const Node& node, const QDBusMessage& reply);
    void childrenAnswered(const QDBusMessage& reply);
    void topLevelsKnown();
    void askRole(const AccessibleObject& object);
    void pump();
    void walkEnded();
    void finish(FocusSearchResult result);
    template <typename Reply>
    void ask(const AccessibleObject& object, const char* method, Reply&& onReply);

    QDBusConnection bus_;
    std::vector<std::string> applications_;
    Done done_;
    QTimer deadline_;
    QTimer again_;
    bool finished_ = false;
    bool walkedWithoutFinding_ = false;
    bool anyApplicationAnswered_ = false;
    bool anyApplicationSilent_ = false;
    int questions_ = 0; // unanswered ones
    int visited_ = 0;
    int rootsToAnswer_ = 0;
    std::vector<Node> topLevels_;
    std::vector<std::pair<Node, bool>> topLevelStates_; // window, active
    std::deque<Node> queue_;
};

} // namespace quillo::linuxdesktop
