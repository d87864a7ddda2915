#include "platform/linux/AtspiPasswordFields.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <iostream>

namespace quillo::x11 {

namespace {

const QString launcherService = QStringLiteral("org.a11y.Bus");
const QString launcherPath = QStringLiteral("/org/a11y/bus");

// The events the focus is followed by, in the registry's notation.
const QStringList followedEvents = {
    QStringLiteral("object:state-changed:focused"),
    QStringLiteral("object:state-changed:defunct"),
    QStringLiteral("focus:"),
    QStringLiteral("window:deactivate"),
};

// A role question that takes longer means an application that is busy or hung; until the answer
// the object counts as a password field, so the wait must stay short.
constexpr int roleTimeoutMs = 2000;
constexpr int addressTimeoutMs = 1000;

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

} // namespace

AtspiPasswordFields::AtspiPasswordFields() {
    if (!QDBusConnection::sessionBus().isConnected()) {
        giveUp(QStringLiteral("there is no session bus"));
        return;
    }
    askForAddress();
}

AtspiPasswordFields::~AtspiPasswordFields() = default;

void AtspiPasswordFields::askForAddress() {
    // Asked while starting, so that the windows can tell at once whether password fields are
    // recognised. A desktop session runs the accessibility bus from login, and the answer takes
    // a millisecond; the limit is for a session bus that hangs.
    const QDBusMessage call = QDBusMessage::createMethodCall(
        launcherService, launcherPath, launcherService, QStringLiteral("GetAddress"));
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, addressTimeoutMs);
    const QString address =
        reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            ? reply.arguments().first().toString()
            : QString();
    if (address.isEmpty()) {
        giveUp(QStringLiteral("the session offers no accessibility bus"));
    } else {
        connectTo(address);
    }
}

void AtspiPasswordFields::connectTo(const QString& address) {
    QDBusConnection bus =
        QDBusConnection::connectToBus(address, QStringLiteral("quillo-accessibility"));
    if (!bus.isConnected()) {
        giveUp(QStringLiteral("the accessibility bus does not answer"));
        return;
    }
    bus_ = bus;
    const QString any;
    bus.connect(any, any, QStringLiteral("org.a11y.atspi.Event.Object"),
                QStringLiteral("StateChanged"), this, SLOT(onStateChanged(QDBusMessage)));
    bus.connect(any, any, QStringLiteral("org.a11y.atspi.Event.Focus"), QStringLiteral("Focus"),
                this, SLOT(onFocus(QDBusMessage)));
    bus.connect(any, any, QStringLiteral("org.a11y.atspi.Event.Window"),
                QStringLiteral("Deactivate"), this, SLOT(onWindowDeactivated(QDBusMessage)));
    bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                SLOT(onNameOwnerChanged(QString, QString, QString)));
    registerEvents();
}

void AtspiPasswordFields::registerEvents() {
    auto remaining = std::make_shared<int>(static_cast<int>(followedEvents.size()));
    auto failed = std::make_shared<bool>(false);
    const auto registered = [this, remaining, failed](bool ok) {
        *failed = *failed || !ok;
        if (--*remaining == 0) {
            if (*failed) {
                giveUp(QStringLiteral("the accessibility registry refused the events"));
            } else {
                state_ = State::Connected;
                std::cout << "Password fields are recognised through the accessibility bus."
                          << std::endl;
                emit settled();
            }
        }
    };
    for (const QString& event : followedEvents) {
        const auto call = [event](bool withProperties) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                QStringLiteral("org.a11y.atspi.Registry"),
                QStringLiteral("/org/a11y/atspi/registry"),
                QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
            message << event;
            if (withProperties) {
                message << QStringList() << QString();
            }
            return message;
        };
        // Registries before 2.46 take the event name alone.
        whenAnswered(*bus_, call(true), this, [this, call, registered](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ReplyMessage) {
                registered(true);
                return;
            }
            whenAnswered(*bus_, call(false), this, [registered](const QDBusMessage& again) {
                registered(again.type() == QDBusMessage::ReplyMessage);
            });
        });
    }
}

void AtspiPasswordFields::giveUp(const QString& why) {
    state_ = State::Unavailable;
    bus_.reset();
    std::cout << "Password fields are recognised only while their program grabs the keyboard: "
              << why.toStdString() << "." << std::endl;
    emit settled();
}

void AtspiPasswordFields::onStateChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2) {
        return;
    }
    const QString state = arguments[0].toString();
    const bool on = arguments[1].toInt() != 0;
    const AccessibleObject object{message.service().toStdString(), message.path().toStdString()};
    if (state == QLatin1String("focused")) {
        if (on) {
            gained(message);
        } else {
            focus_.focusLost(object);
        }
    } else if (state == QLatin1String("defunct") && on) {
        focus_.focusLost(object);
    }
}

void AtspiPasswordFields::onFocus(const QDBusMessage& message) {
    gained(message);
}

void AtspiPasswordFields::gained(const QDBusMessage& message) {
    const AccessibleObject object{message.service().toStdString(), message.path().toStdString()};
    const bool known = focus_.focused() == object;
    focus_.focusGained(object);
    if (!known) {
        askRole(object);
    }
}

void AtspiPasswordFields::askRole(const AccessibleObject& object) {
    if (!bus_) {
        return;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(object.application), QString::fromStdString(object.path),
        QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetRole"));
    whenAnswered(
        *bus_, call, this,
        [this, object](const QDBusMessage& reply) {
            std::optional<std::uint32_t> role;
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                bool ok = false;
                const uint number = reply.arguments().first().toUInt(&ok);
                if (ok) {
                    role = number;
                }
            }
            focus_.roleAnswered(object, role);
        },
        roleTimeoutMs);
}

void AtspiPasswordFields::onWindowDeactivated(const QDBusMessage& message) {
    focus_.windowDeactivated(message.service().toStdString());
}

void AtspiPasswordFields::onNameOwnerChanged(const QString& name, const QString& /*oldOwner*/,
                                             const QString& newOwner) {
    if (newOwner.isEmpty()) {
        focus_.applicationGone(name.toStdString());
    }
}

} // namespace quillo::x11
