// Whether Quillo can work on this desktop. On X11 there is no permission to grant: any client of
// the display may watch the keyboard (RECORD) and type (XTEST), so the process is trusted when
// such a display is reachable. Under Wayland without an X display, or with no display at all,
// it is not, and the reason says what would help.
#pragma once

#include "platform/Platform.h"

#include <memory>
#include <string>

struct _XDisplay;

namespace quillo::linuxdesktop {

struct DisplayCloser {
    void operator()(_XDisplay* display) const;
};
// A connection to the X server, closed when it goes.
using DisplayConnection = std::unique_ptr<_XDisplay, DisplayCloser>;

class X11Trust final : public platform::AccessibilityTrust {
  public:
    // Looks at the display once: whether it is reachable does not change while the program runs.
    // Without `keysThroughX` the keys come and go through the input method, and neither RECORD
    // nor XTEST is asked for: the display is still the clipboard's.
    explicit X11Trust(bool keysThroughX = true);
    bool isTrusted() const override { return reason_.empty(); }
    // There is nothing to ask the system for.
    void requestTrust() override {}
    std::string untrustedReason() const override { return reason_; }

    // The reason the desktop cannot be used, empty when it can. It looks through a connection of
    // its own, which it hands to `keepOpen` when given one and closes otherwise. An X server
    // whose last client leaves starts afresh and drops whoever connects at that moment (a bare
    // Xvfb or an xinit session has no other client), so the program start keeps it open until
    // its own connections are made.
    static std::string check(DisplayConnection* keepOpen = nullptr, bool keysThroughX = true);

  private:
    std::string reason_;
};

} // namespace quillo::linuxdesktop
