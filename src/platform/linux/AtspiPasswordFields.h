// Secure input from the accessibility bus: on while the focused accessible object is a password
// field (GTK's and Qt's password entries, browsers' password inputs, all of role "password
// text").
//
// The focus is followed from the bus's events (an object's "focused" state, the legacy focus
// event, window deactivation, applications leaving the bus), so the keyboard handler's question
// is a read of a flag and never a bus round trip. Applications send those events only while a
// listener has registered for them, and some (Qt's, browsers') expose their accessible objects
// only while the desktop's accessibility switch is on (AccessibilitySwitch).
//
// Everything runs on the main thread. Without a session bus or an accessibility bus the answer
// is always false, and available() says so for the windows that explain it.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/PasswordFocus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <optional>

namespace quillo::x11 {

class AtspiPasswordFields : public QObject, public platform::SecureInput {
    Q_OBJECT
  public:
    // Finds the accessibility bus and connects to it; the events are registered on the main
    // loop.
    AtspiPasswordFields();
    ~AtspiPasswordFields() override;

    bool isSecureInputEnabled() const override { return focus_.isPasswordFocused(); }
    // Whether the session has an accessibility bus to follow, known from construction on.
    bool available() const { return state_ != State::Unavailable; }
    // True once the events are registered and flow.
    bool connected() const { return state_ == State::Connected; }

    // This program has taken the keyboard for an expansion: the focus the application says it
    // lost comes back to the same field.
    void ownHoldBegan() { focus_.ownHoldBegan(); }

  signals:
    // The connection ended one way or the other (connected() or not available()).
    void settled();

  private slots:
    void onStateChanged(const QDBusMessage& message);
    void onFocus(const QDBusMessage& message);
    void onWindowDeactivated(const QDBusMessage& message);
    void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  private:
    enum class State { Connecting, Connected, Unavailable };

    void askForAddress();
    void connectTo(const QString& address);
    void registerEvents();
    void giveUp(const QString& why);
    void gained(const QDBusMessage& message);
    void askRole(const AccessibleObject& object);

    State state_ = State::Connecting;
    std::optional<QDBusConnection> bus_;
    PasswordFocus focus_;
};

} // namespace quillo::x11
