#include "platform/linux/AccessibleFocusSearch.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <algorithm>

namespace quillo::linuxdesktop {

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const std::string rootPath = "/org/a11y/atspi/accessible/root";

// What a connection without accessible objects answers; other errors (no reply in time) tell
// nothing.
const QStringList refusals = {
    QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
    QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
    QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
    QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
    QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
};

// Bits of the first word of an object's state set.
constexpr std::uint32_t activeState = 1U << 1;
constexpr std::uint32_t focusedState = 1U << 12;
constexpr std::uint32_t showingState = 1U << 25;
constexpr std::uint32_t managesDescendantsState = 1U << 31;

// Enough to walk a dialog in one go without flooding a large program with questions.
constexpr int questionsAtOnce = 8;
// Time for a program to handle the focus change that made this search needed.
constexpr int walkAgainAfterMs = 40;

FocusSearchResult only(FocusSearchResult::Outcome outcome) {
    FocusSearchResult result;
    result.outcome = outcome;
    return result;
}

std::vector<AccessibleObject> childrenOf(const QDBusMessage& reply) {
    std::vector<AccessibleObject> children;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return children;
    }
    const auto argument = reply.arguments().first().value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(so)")) {
        return children;
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        QString application;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> application >> path;
        argument.endStructure();
        children.push_back({application.toStdString(), path.path().toStdString()});
    }
    argument.endArray();
    return children;
}

std::optional<std::uint32_t> stateOf(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const auto words = qdbus_cast<QList<uint>>(reply.arguments().first());
    if (words.isEmpty()) {
        return std::nullopt;
    }
    return words.first();
}

} // namespace

AccessibleFocusSearch::AccessibleFocusSearch(const QDBusConnection& bus,
                                             std::vector<std::string> applications, Done done)
    : bus_(bus), applications_(std::move(applications)), done_(std::move(done)) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        finish(only(walkedWithoutFinding_ ? FocusSearchResult::Outcome::nothingFocused
                                          : FocusSearchResult::Outcome::unanswered));
    });
    deadline_.start(timeLimitMs);
    again_.setSingleShot(true);
    connect(&again_, &QTimer::timeout, this, [this] { startWalk(); });
    startWalk();
}

template <typename Reply>
void AccessibleFocusSearch::ask(const AccessibleObject& object, const char* method,
                                Reply&& onReply) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(object.application), QString::fromStdString(object.path),
        accessibleInterface, QString::fromLatin1(method));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, timeLimitMs), this);
    ++questions_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, onReply = std::forward<Reply>(onReply)](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                --questions_;
                if (finished_) {
                    return;
                }
                onReply(answered->reply());
                pump();
            });
}

void AccessibleFocusSearch::startWalk() {
    visited_ = 0;
    queue_.clear();
    topLevels_.clear();
    topLevelStates_.clear();
    rootsToAnswer_ = static_cast<int>(applications_.size());
    for (const std::string& application : applications_) {
        ask({application, rootPath}, "GetChildren", [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ReplyMessage) {
                anyApplicationAnswered_ = true;
            } else if (!refusals.contains(reply.errorName())) {
                anyApplicationSilent_ = true;
            }
            for (AccessibleObject& window : childrenOf(reply)) {
                topLevels_.push_back({std::move(window), true});
            }
            if (--rootsToAnswer_ == 0) {
                topLevelsKnown();
            }
        });
    }
}

void AccessibleFocusSearch::topLevelsKnown() {
    if (!anyApplicationAnswered_) {
        finish(only(anyApplicationSilent_ ? FocusSearchResult::Outcome::unanswered
                                          : FocusSearchResult::Outcome::notAccessible));
    } else if (topLevels_.empty()) {
        walkEnded();
    } else {
        for (const Node& window : topLevels_) {
            visit(window);
        }
    }
}

void AccessibleFocusSearch::visit(const Node& node) {
    ++visited_;
    ask(node.object, "GetState",
        [this, node](const QDBusMessage& reply) { stateAnswered(node, reply); });
}

void AccessibleFocusSearch::stateAnswered(const Node& node, const QDBusMessage& reply) {
    const std::uint32_t state = stateOf(reply).value_or(0);
    if (state & focusedState) {
        askRole(node.object);
        return;
    }
    if (node.topLevel) {
        topLevelStates_.emplace_back(node, (state & activeState) != 0);
        if (topLevelStates_.size() < topLevels_.size()) {
            return;
        }
        // The active windows hold the focus; a program between two windows has none active.
        const bool anyActive = std::any_of(topLevelStates_.begin(), topLevelStates_.end(),
                                           [](const auto& window) { return window.second; });
        for (const auto& [window, active] : topLevelStates_) {
            if (active || !anyActive) {
                ask(window.object, "GetChildren",
                    [this](const QDBusMessage& children) { childrenAnswered(children); });
            }
        }
        return;
    }
    if ((state & showingState) && !(state & managesDescendantsState)) {
        ask(node.object, "GetChildren",
            [this](const QDBusMessage& children) { childrenAnswered(children); });
    }
}

void AccessibleFocusSearch::childrenAnswered(const QDBusMessage& reply) {
    for (AccessibleObject& child : childrenOf(reply)) {
        queue_.push_back({std::move(child), false});
    }
}

void AccessibleFocusSearch::askRole(const AccessibleObject& object) {
    ask(object, "GetRole", [this, object](const QDBusMessage& reply) {
        bool ok = false;
        const uint role = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                              ? reply.arguments().first().toUInt(&ok)
                              : 0;
        if (ok) {
            finish(
                {.outcome = FocusSearchResult::Outcome::focused, .object = object, .role = role});
        } else {
            finish(only(FocusSearchResult::Outcome::unanswered));
        }
    });
}

void AccessibleFocusSearch::pump() {
    while (!finished_ && questions_ < questionsAtOnce && !queue_.empty()) {
        if (visited_ >= objectLimit) {
            finish(only(walkedWithoutFinding_ ? FocusSearchResult::Outcome::nothingFocused
                                              : FocusSearchResult::Outcome::unanswered));
            return;
        }
        const Node node = queue_.front();
        queue_.pop_front();
        visit(node);
    }
    if (!finished_ && questions_ == 0 && queue_.empty() && rootsToAnswer_ == 0) {
        walkEnded();
    }
}

void AccessibleFocusSearch::walkEnded() {
    walkedWithoutFinding_ = true;
    again_.start(walkAgainAfterMs);
}

void AccessibleFocusSearch::finish(FocusSearchResult result) {
    if (finished_) {
        return;
    }
    finished_ = true;
    deadline_.stop();
    again_.stop();
    done_(result);
}

} // namespace quillo::linuxdesktop
