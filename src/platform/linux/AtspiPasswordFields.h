// Secure input from the accessibility bus: on while the focused accessible object is a password
// field (GTK's and Qt's password entries, browsers' password inputs, all of role "password text"),
// and while the program in front is on the bus but has not yet said where its focus is
// (PasswordFocus has the rules).
//
// The focus is followed from the bus's events (an object's "focused" state, the legacy focus event,
// window deactivation, applications leaving the bus); the program in front, which X names, is asked
// with a search of its accessible tree (AccessibleFocusSearch) when no event has told, at start and
// after every reconnection. So the keyboard handler's question is the read of a few fields, never a
// bus round trip.
//
// Applications send the events only while a listener has registered for them. The registration is
// made again when the registry restarts, and the whole connection when the accessibility bus's
// launcher does (the bus ends with it); until then every field counts as a password field.
//
// Everything runs on the main thread. Without a session bus or an accessibility bus the answer is
// always false, and available() says so for the windows that explain it.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/AccessibleFocusSearch.h"
#include "platform/linux/PasswordFocus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

class QDBusServiceWatcher;

namespace quillo::linuxdesktop {

class AtspiPasswordFields : public QObject, public platform::SecureInput {
    Q_OBJECT
  public:
    // Finds the accessibility bus and connects to it; the events are registered on the main loop.
    AtspiPasswordFields();
    ~AtspiPasswordFields() override;

    bool isSecureInputEnabled() const override { return available() && focus_.isPasswordFocused(); }
    // Whether the session has an accessibility bus to follow.
    bool available() const { return state_ != State::Unavailable; }

    // The process of the focused accessible object, while the bus tells it.
    std::optional<ProcessId> focusedProcess() const { return focus_.focusedProcess(); }

    // The process whose window has the keyboard, as X tells it; none when it cannot be told.
    void setFrontProgram(std::optional<ProcessId> process);

  signals:
    void availabilityChanged();

  private slots:
    void onStateChanged(const QDBusMessage& message);
    void onFocus(const QDBusMessage& message);
    void onWindowDeactivated(const QDBusMessage& message);
    void onApplicationsChanged(const QDBusMessage& message);
    void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  private:
    enum class State { Connecting, Connected, Unavailable };

    void askForAddress(bool wait);
    void connectTo(const QString& address);
    void disconnect();
    void registerEvents();
    void listConnections();
    void connectionSeen(const QString& connection);
    void giveUp(const QString& why);
    void gained(const QDBusMessage& message);
    // Asks the role and starts the search that the state calls for.
    void followUp();
    void askRole(const AccessibleObject& object);
    void search(ProcessId process);

    State state_ = State::Connecting;
    std::optional<QDBusConnection> bus_;
    QString busName_; // Qt's name of the connection, new for each connection
    QString ownName_; // this program's unique name on the accessibility bus
    int connections_ = 0;
    int registrations_ = 0; // rounds of registration, so that an old round's answers are dropped
    PasswordFocus focus_;
    std::optional<AccessibleObject> roleAsked_;
    std::unique_ptr<AccessibleFocusSearch> search_;
    QTimer retry_;
    std::optional<ProcessId> front_;
    QTimer joinWait_; // until the program in front has had the time to join the bus
    QDBusServiceWatcher* launcherWatcher_ = nullptr;
};

} // namespace quillo::linuxdesktop
