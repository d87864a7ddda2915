// The desktop's accessibility switch (org.a11y.Status.IsEnabled of the accessibility bus's
// launcher, kept in the desktop's settings): Qt programs and browsers put their objects on the
// accessibility bus only while it is on. It is turned on at start and, if this program turned it
// on and nobody changed it since, off again by stop().
//
// Two Quillos must not undo each other. A Quillo holds a name on the session bus from before it
// reads the switch until after it has put it back; a starting Quillo reads the switch only once
// it holds the name (or after a short wait for one that does not let go), and the bus handles
// the quitting one's messages in order, so the switch is back before the next one reads it. A
// Quillo that quits while another waits for the name leaves the switch as it is.
//
// If something else turns the switch off while Quillo runs (a person, a screen reader's
// settings), Quillo does not turn it on again: it says so on standard error, and
// turnedOffElsewhere() tells the windows.
//
// Everything runs on the main thread, on the session bus; without one the switch is left alone.
#pragma once

#include <QObject>
#include <QTimer>
#include <QVariantMap>

namespace quillo::linuxdesktop {

class AccessibilitySwitch : public QObject {
    Q_OBJECT
  public:
    // Starts on the main loop.
    AccessibilitySwitch();
    ~AccessibilitySwitch() override;

    // Puts the switch back as it was; call before the program ends.
    void stop();

    bool turnedOffElsewhere() const { return turnedOffElsewhere_; }

  signals:
    void turnedOffElsewhereChanged();

  private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);
    void onNameAcquired(const QString& name);

  private:
    void takeTurn();
    void turnOn();
    bool anotherQuilloWaits() const;

    QTimer patience_;
    bool holdsName_ = false;
    bool tookTurn_ = false;
    bool wantsOn_ = false;
    bool turnedOn_ = false; // by this program, and nobody changed it since
    bool turnedOffElsewhere_ = false;
    bool stopped_ = false;
};

} // namespace quillo::linuxdesktop
