// The Linux (X11) desktop: every service of the seam, owned here, for the program's start-up to
// hand to the logic.
//
// Needs a QGuiApplication (the clipboard and the main loop are Qt's) and a reachable X display.
#pragma once

#include "platform/Platform.h"

#include <functional>
#include <memory>

class QObject;

namespace quillo::linuxdesktop {

class LinuxDesktop {
  public:
    // Makes Xlib safe for the threads to come. Call first thing, before Qt or anything else
    // opens a connection.
    static void prepareProcess();
    // None when the X display cannot be opened; X11Trust tells why. Call after the application
    // object exists. With `inputMethod` the keys come in and the text goes out through Quillo's
    // IBus engine, and the X11 tap is never started: no key is handled twice. The clipboard is
    // the X display's either way.
    static std::unique_ptr<LinuxDesktop> open(bool inputMethod = false);
    ~LinuxDesktop();
    LinuxDesktop(const LinuxDesktop&) = delete;
    LinuxDesktop& operator=(const LinuxDesktop&) = delete;

    platform::Services services();
    // Whether the keyboard source in use has started.
    bool isKeyboardWatched() const;
    // Makes Quillo's engine the active IBus engine.
    void activateInputMethod();
    // `changed` runs on the main loop whenever the secure input's limitation() changes (the
    // accessibility bus comes or goes, the accessibility switch is turned off or on by someone
    // else), until `context` is destroyed.
    void whenSecureInputLimitationChanges(QObject* context, std::function<void()> changed);

    // The program is quitting: background work stops at its next step, and nothing more is
    // typed or put on the clipboard. Call before the main loop's objects go away.
    void shutdown();

  private:
    LinuxDesktop();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace quillo::linuxdesktop
