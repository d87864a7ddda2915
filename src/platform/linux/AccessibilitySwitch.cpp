#include "platform/linux/AccessibilitySwitch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <iostream>

namespace quillo::linuxdesktop {

namespace {

const QString launcherService = QStringLiteral("org.a11y.Bus");
const QString launcherPath = QStringLiteral("/org/a11y/bus");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString switchProperty = QStringLiteral("IsEnabled");
const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
// Held by the Quillo that looks after the switch.
const QString turnName = QStringLiteral("io.github.quillo.Quillo.AccessibilitySwitch");

// A Quillo that is quitting lets go of the name within a second; one that does not is running
// (from another session's runtime folder), and waiting longer would not change that.
constexpr int patienceMs = 2000;
constexpr int quitTimeoutMs = 1000;

QDBusMessage switchCall(const QString& method) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface, method);
    call << statusInterface << switchProperty;
    return call;
}

QDBusMessage busCall(const QString& method) {
    return QDBusMessage::createMethodCall(busService, busPath, busService, method);
}

template <typename Reply>
void whenAnswered(const QDBusMessage& call, QObject* context, Reply&& onReply) {
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [onReply = std::forward<Reply>(onReply)](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         onReply(done->reply());
                     });
}

} // namespace

AccessibilitySwitch::AccessibilitySwitch() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(launcherService, launcherPath, propertiesInterface,
                QStringLiteral("PropertiesChanged"), this,
                SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(busService, busPath, busService, QStringLiteral("NameAcquired"), this,
                SLOT(onNameAcquired(QString)));
    patience_.setSingleShot(true);
    connect(&patience_, &QTimer::timeout, this, [this] { takeTurn(); });
    QDBusMessage request = busCall(QStringLiteral("RequestName"));
    // No flags: wait in line, and let nobody take the name away.
    request << turnName << 0U;
    whenAnswered(request, this, [this](const QDBusMessage& reply) {
        constexpr uint primaryOwner = 1;
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().first().toUInt() == primaryOwner) {
            onNameAcquired(turnName);
        } else if (!tookTurn_) {
            patience_.start(patienceMs);
        }
    });
}

AccessibilitySwitch::~AccessibilitySwitch() {
    stop();
}

void AccessibilitySwitch::onNameAcquired(const QString& name) {
    if (name == turnName && !holdsName_) {
        holdsName_ = true;
        takeTurn();
    }
}

void AccessibilitySwitch::takeTurn() {
    if (tookTurn_ || stopped_) {
        return;
    }
    tookTurn_ = true;
    patience_.stop();
    whenAnswered(switchCall(QStringLiteral("Get")), this, [this](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return;
        }
        wantsOn_ = true;
        if (!qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toBool()) {
            turnOn();
        }
    });
}

void AccessibilitySwitch::turnOn() {
    QDBusMessage set = switchCall(QStringLiteral("Set"));
    set << QVariant::fromValue(QDBusVariant(true));
    whenAnswered(set, this, [this](const QDBusMessage& done) {
        // Without the name another Quillo is running, and the switch is as much its as ours.
        turnedOn_ = done.type() == QDBusMessage::ReplyMessage && holdsName_ && !stopped_;
    });
}

void AccessibilitySwitch::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                              const QStringList& /*invalidated*/) {
    if (interface != statusInterface || !changed.contains(switchProperty) || !wantsOn_ ||
        stopped_) {
        return;
    }
    const bool on = changed.value(switchProperty).toBool();
    if (!on && !turnedOffElsewhere_) {
        turnedOffElsewhere_ = true;
        turnedOn_ = false;
        std::cerr << "The desktop's accessibility switch was turned off while Quillo runs: Qt "
                     "programs and browsers no longer show their password fields, and Quillo "
                     "leaves the switch off."
                  << std::endl;
        emit turnedOffElsewhereChanged();
    } else if (on && turnedOffElsewhere_) {
        turnedOffElsewhere_ = false;
        std::cerr << "The desktop's accessibility switch is on again." << std::endl;
        emit turnedOffElsewhereChanged();
    }
}

bool AccessibilitySwitch::anotherQuilloWaits() const {
    QDBusMessage call = busCall(QStringLiteral("ListQueuedOwners"));
    call << turnName;
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, quitTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toStringList().size() > 1;
}

void AccessibilitySwitch::stop() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    patience_.stop();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (turnedOn_ && !anotherQuilloWaits()) {
        QDBusMessage set = switchCall(QStringLiteral("Set"));
        set << QVariant::fromValue(QDBusVariant(false));
        bus.call(set, QDBus::Block, quitTimeoutMs);
    }
    turnedOn_ = false;
    if (holdsName_) {
        // After the switch on the same connection: the bus passes the two on in this order.
        QDBusMessage release = busCall(QStringLiteral("ReleaseName"));
        release << turnName;
        bus.call(release, QDBus::Block, quitTimeoutMs);
        holdsName_ = false;
    }
}

} // namespace quillo::linuxdesktop
