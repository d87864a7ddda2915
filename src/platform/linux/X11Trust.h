// Whether Quillo can work on this desktop. On X11 there is no permission to grant: any client of
// the display may watch the keyboard (RECORD) and type (XTEST), so the process is trusted when
// such a display is reachable. Under Wayland without an X display, or with no display at all,
// it is not, and the reason says what would help.
#pragma once

#include "platform/Platform.h"

#include <string>

namespace quillo::x11 {

class X11Trust final : public platform::AccessibilityTrust {
  public:
    // Looks at the display once: whether it is reachable does not change while the program runs.
    X11Trust();
    bool isTrusted() const override { return reason_.empty(); }
    // There is nothing to ask the system for.
    void requestTrust() override {}
    std::string untrustedReason() const override { return reason_; }

    // The reason the desktop cannot be used, empty when it can. Opens and closes a connection.
    static std::string check();

  private:
    std::string reason_;
};

} // namespace quillo::x11
