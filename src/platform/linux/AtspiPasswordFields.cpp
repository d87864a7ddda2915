#include "platform/linux/AtspiPasswordFields.h"

#include "platform/linux/ProcessAccessibility.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QStringList>
#include <iostream>

namespace quillo::linuxdesktop {

namespace {

// QT_LOGGING_RULES="quillo.password.debug=true" shows what the password state is learnt from.
Q_LOGGING_CATEGORY(trace, "quillo.password", QtWarningMsg)

const QString launcherService = QStringLiteral("org.a11y.Bus");
const QString launcherPath = QStringLiteral("/org/a11y/bus");
const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");

// The events the focus is followed by, in the registry's notation.
const QStringList followedEvents = {
    QStringLiteral("object:state-changed:focused"),
    QStringLiteral("object:state-changed:defunct"),
    QStringLiteral("focus:"),
    QStringLiteral("window:deactivate"),
};

// A role question that takes longer means an application that is busy or hung; the object counts as
// a password field meanwhile, and after it the program in front is searched.
constexpr int roleTimeoutMs = 2000;
constexpr int addressTimeoutMs = 1000;
// A registry that does not answer leaves every field closed until this runs out.
constexpr int registerTimeoutMs = 5000;
// A search that learnt nothing is made again after this; the program stays closed meanwhile.
constexpr int searchRetryMs = 1000;
// A new Qt program connects to the bus within milliseconds of showing its first window (a busy
// machine's); past this age a program not on the bus is taken not to join it.
constexpr std::chrono::milliseconds joinTime{3000};

template <typename Reply>
void whenAnswered(const QDBusConnection& bus, const QDBusMessage& call, QObject* context,
                  Reply&& onReply, int timeoutMs = -1) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [onReply = std::forward<Reply>(onReply)](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         onReply(done->reply());
                     });
}

bool isUniqueName(const QString& name) {
    return name.startsWith(QLatin1Char(':'));
}

AccessibleObject objectOf(const QDBusMessage& message) {
    return {message.service().toStdString(), message.path().toStdString()};
}

} // namespace

AtspiPasswordFields::AtspiPasswordFields() {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] {
        qCDebug(trace) << "search retried";
        focus_.retrySearch();
        followUp();
    });
    joinWait_.setSingleShot(true);
    connect(&joinWait_, &QTimer::timeout, this, [this] {
        qCDebug(trace) << "front program" << front_.value_or(0) << "had the time to join";
        focus_.frontProgram(front_);
        followUp();
    });
    if (!QDBusConnection::sessionBus().isConnected()) {
        giveUp(QStringLiteral("there is no session bus"));
        return;
    }
    // The launcher ends with its bus; the next one (started by the next question, as at login) has
    // a new bus, which only programs started since are on.
    launcherWatcher_ = new QDBusServiceWatcher(launcherService, QDBusConnection::sessionBus(),
                                               QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(launcherWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                if (!oldOwner.isEmpty() && state_ != State::Unavailable) {
                    disconnect();
                    askForAddress(false);
                } else if (!newOwner.isEmpty() && state_ == State::Unavailable) {
                    // A launcher started after this program: password fields can be seen now.
                    state_ = State::Connecting;
                    emit availabilityChanged();
                    askForAddress(false);
                }
            });
    askForAddress(true);
}

AtspiPasswordFields::~AtspiPasswordFields() {
    search_.reset();
    disconnect();
}

void AtspiPasswordFields::askForAddress(bool wait) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        launcherService, launcherPath, launcherService, QStringLiteral("GetAddress"));
    const auto answered = [this](const QDBusMessage& reply) {
        const QString address =
            reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                ? reply.arguments().first().toString()
                : QString();
        if (address.isEmpty()) {
            giveUp(QStringLiteral("the session offers no accessibility bus"));
        } else {
            connectTo(address);
        }
    };
    if (wait) {
        // At start, so that the windows can tell at once whether password fields are recognised. A
        // desktop session runs the accessibility bus from login, and the answer takes a
        // millisecond; the limit is for a session bus that hangs.
        answered(QDBusConnection::sessionBus().call(call, QDBus::Block, addressTimeoutMs));
    } else {
        whenAnswered(QDBusConnection::sessionBus(), call, this, answered, addressTimeoutMs);
    }
}

void AtspiPasswordFields::connectTo(const QString& address) {
    busName_ = QStringLiteral("quillo-accessibility-%1").arg(++connections_);
    QDBusConnection bus = QDBusConnection::connectToBus(address, busName_);
    if (!bus.isConnected()) {
        giveUp(QStringLiteral("the accessibility bus does not answer"));
        return;
    }
    bus_ = bus;
    ownName_ = bus.baseService();
    const QString any;
    bus.connect(any, any, QStringLiteral("org.a11y.atspi.Event.Object"),
                QStringLiteral("StateChanged"), this, SLOT(onStateChanged(QDBusMessage)));
    bus.connect(any, any, QStringLiteral("org.a11y.atspi.Event.Focus"), QStringLiteral("Focus"),
                this, SLOT(onFocus(QDBusMessage)));
    bus.connect(any, any, QStringLiteral("org.a11y.atspi.Event.Window"),
                QStringLiteral("Deactivate"), this, SLOT(onWindowDeactivated(QDBusMessage)));
    bus.connect(busService, busPath, busService, QStringLiteral("NameOwnerChanged"), this,
                SLOT(onNameOwnerChanged(QString, QString, QString)));
    // The registry's own: its root's children are the applications.
    bus.connect(registryService, QStringLiteral("/org/a11y/atspi/accessible/root"),
                QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("ChildrenChanged"),
                this, SLOT(onApplicationsChanged(QDBusMessage)));
    registerEvents();
}

void AtspiPasswordFields::disconnect() {
    search_.reset();
    roleAsked_.reset();
    if (bus_) {
        bus_.reset();
        QDBusConnection::disconnectFromBus(busName_);
    }
    if (state_ == State::Connected) {
        state_ = State::Connecting;
    }
    focus_.connecting();
}

void AtspiPasswordFields::registerEvents() {
    const int round = ++registrations_;
    if (state_ == State::Connected) {
        state_ = State::Connecting;
    }
    search_.reset();
    roleAsked_.reset();
    focus_.connecting();
    auto remaining = std::make_shared<int>(static_cast<int>(followedEvents.size()));
    auto failed = std::make_shared<bool>(false);
    const auto registered = [this, round, remaining, failed](bool ok) {
        *failed = *failed || !ok;
        if (--*remaining > 0 || round != registrations_ || state_ == State::Unavailable) {
            return;
        }
        if (*failed) {
            giveUp(QStringLiteral("the accessibility registry refused the events"));
            return;
        }
        const bool again = connections_ > 1 || round > 1;
        state_ = State::Connected;
        focus_.connected();
        std::cout << "Password fields are recognised through the accessibility bus"
                  << (again ? " again." : ".") << std::endl;
        followUp();
    };
    for (const QString& event : followedEvents) {
        const auto call = [event](bool withProperties) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                registryService, QStringLiteral("/org/a11y/atspi/registry"),
                QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
            message << event;
            if (withProperties) {
                message << QStringList() << QString();
            }
            return message;
        };
        // Registries before 2.46 take the event name alone.
        whenAnswered(
            *bus_, call(true), this,
            [this, call, registered, round](const QDBusMessage& reply) {
                if (reply.type() == QDBusMessage::ReplyMessage || round != registrations_ ||
                    !bus_) {
                    registered(reply.type() == QDBusMessage::ReplyMessage);
                    return;
                }
                whenAnswered(
                    *bus_, call(false), this,
                    [registered](const QDBusMessage& again) {
                        registered(again.type() == QDBusMessage::ReplyMessage);
                    },
                    registerTimeoutMs);
            },
            registerTimeoutMs);
    }
    listConnections();
}

void AtspiPasswordFields::listConnections() {
    const int round = registrations_;
    whenAnswered(*bus_,
                 QDBusMessage::createMethodCall(busService, busPath, busService,
                                                QStringLiteral("ListNames")),
                 this, [this, round](const QDBusMessage& reply) {
                     if (round != registrations_ || reply.arguments().isEmpty()) {
                         return;
                     }
                     for (const QString& name : reply.arguments().first().toStringList()) {
                         connectionSeen(name);
                     }
                     followUp();
                 });
}

void AtspiPasswordFields::connectionSeen(const QString& connection) {
    if (!isUniqueName(connection) || connection == ownName_ || !bus_) {
        return;
    }
    focus_.connectionSeen(connection.toStdString());
    QDBusMessage call = QDBusMessage::createMethodCall(
        busService, busPath, busService, QStringLiteral("GetConnectionUnixProcessID"));
    call << connection;
    const int round = registrations_;
    whenAnswered(*bus_, call, this, [this, connection, round](const QDBusMessage& reply) {
        if (round != registrations_) {
            return;
        }
        std::optional<ProcessId> process;
        bool ok = false;
        const uint number =
            reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                ? reply.arguments().first().toUInt(&ok)
                : 0;
        // This program's own windows hold no password field, and its own connections show no
        // accessible objects until Qt's bridge has some to show.
        if (ok && number != 0 && number != static_cast<uint>(QCoreApplication::applicationPid())) {
            process = number;
        }
        qCDebug(trace) << "connection" << connection << "process" << process.value_or(0);
        focus_.connectionProcess(connection.toStdString(), process);
        followUp();
    });
}

void AtspiPasswordFields::giveUp(const QString& why) {
    const bool wasAvailable = state_ != State::Unavailable;
    search_.reset();
    state_ = State::Unavailable;
    if (bus_) {
        bus_.reset();
        QDBusConnection::disconnectFromBus(busName_);
    }
    std::cout << "Password fields are recognised only while their program grabs "
                 "the keyboard: "
              << why.toStdString() << "." << std::endl;
    if (wasAvailable) {
        emit availabilityChanged();
    }
}

void AtspiPasswordFields::setFrontProgram(std::optional<ProcessId> process) {
    front_ = process;
    joinWait_.stop();
    bool mayJoin = false;
    if (process && *process != QCoreApplication::applicationPid()) {
        const auto age = processAge(*process);
        mayJoin = age && *age < joinTime && loadsAccessibilityToolkit(*process);
        if (mayJoin) {
            joinWait_.start(joinTime - *age);
        }
    }
    qCDebug(trace) << "front program" << process.value_or(0) << "may join" << mayJoin;
    focus_.frontProgram(process, mayJoin);
    followUp();
}

void AtspiPasswordFields::onStateChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2) {
        return;
    }
    const QString state = arguments[0].toString();
    const bool on = arguments[1].toInt() != 0;
    qCDebug(trace) << "state" << state << on << message.service() << message.path();
    if (state == QLatin1String("focused")) {
        if (on) {
            gained(message);
        } else {
            focus_.focusLost(objectOf(message));
        }
    } else if (state == QLatin1String("defunct") && on) {
        focus_.focusLost(objectOf(message));
    }
}

void AtspiPasswordFields::onFocus(const QDBusMessage& message) {
    gained(message);
}

void AtspiPasswordFields::gained(const QDBusMessage& message) {
    qCDebug(trace) << "focus gained" << message.service() << message.path();
    focus_.focusGained(objectOf(message));
    followUp();
}

void AtspiPasswordFields::onWindowDeactivated(const QDBusMessage& message) {
    qCDebug(trace) << "window deactivated" << message.service();
    focus_.windowDeactivated(message.service().toStdString());
}

void AtspiPasswordFields::onApplicationsChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 4 || arguments[0].toString() != QLatin1String("add")) {
        return;
    }
    const auto application = qvariant_cast<QDBusVariant>(arguments[3]).variant();
    if (!application.canConvert<QDBusArgument>()) {
        return;
    }
    const auto reference = application.value<QDBusArgument>();
    QString connection;
    QDBusObjectPath root;
    reference.beginStructure();
    reference >> connection >> root;
    reference.endStructure();
    qCDebug(trace) << "application joined" << connection;
    focus_.applicationJoined(connection.toStdString());
    followUp();
}

void AtspiPasswordFields::onNameOwnerChanged(const QString& name, const QString& oldOwner,
                                             const QString& newOwner) {
    if (name == registryService) {
        // A new registry knows no listeners, and tells new programs of none: register again. Asking
        // a registry that is gone starts the next one.
        if (!oldOwner.isEmpty() && state_ != State::Unavailable && bus_) {
            registerEvents();
        }
        return;
    }
    if (!isUniqueName(name)) {
        return;
    }
    qCDebug(trace) << "connection" << name << (newOwner.isEmpty() ? "left" : "came");
    if (newOwner.isEmpty()) {
        focus_.connectionGone(name.toStdString());
    } else {
        connectionSeen(name);
    }
    followUp();
}

void AtspiPasswordFields::followUp() {
    if (state_ != State::Connected || !bus_) {
        return;
    }
    qCDebug(trace) << "password focused:" << focus_.isPasswordFocused();
    if (const auto object = focus_.roleToAsk(); object && object != roleAsked_) {
        askRole(*object);
    }
    if (const auto process = focus_.searchNeeded()) {
        search(*process);
    }
    if (focus_.searchUnanswered() && !retry_.isActive()) {
        retry_.start(searchRetryMs);
    }
}

void AtspiPasswordFields::askRole(const AccessibleObject& object) {
    roleAsked_ = object;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(object.application), QString::fromStdString(object.path),
        QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetRole"));
    const int round = registrations_;
    whenAnswered(
        *bus_, call, this,
        [this, object, round](const QDBusMessage& reply) {
            if (round != registrations_) {
                return;
            }
            if (roleAsked_ == object) {
                roleAsked_.reset();
            }
            std::optional<std::uint32_t> role;
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                bool ok = false;
                const uint number = reply.arguments().first().toUInt(&ok);
                if (ok) {
                    role = number;
                }
            }
            qCDebug(trace) << "role of" << object.path.c_str() << role.value_or(0);
            focus_.roleAnswered(object, role);
            followUp();
        },
        roleTimeoutMs);
}

void AtspiPasswordFields::search(ProcessId process) {
    // One at a time: a search for a program that is no longer in front is of no use.
    search_.reset();
    qCDebug(trace) << "search of" << process;
    focus_.searchStarted(process);
    search_ = std::make_unique<AccessibleFocusSearch>(
        *bus_, focus_.connectionsOf(process), [this, process](const FocusSearchResult& result) {
            // Not destroyed from inside its own answer.
            search_.release()->deleteLater();
            qCDebug(trace) << "search of" << process << "ended" << static_cast<int>(result.outcome)
                           << result.role;
            focus_.searchFinished(process, result);
            followUp();
        });
}

} // namespace quillo::linuxdesktop
