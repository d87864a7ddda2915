// Alerts as Qt message boxes, modal, in front of Quillo's windows; a line on standard output
// where the program has no widgets (no QApplication).
#pragma once

#include "platform/Platform.h"

namespace quillo::linuxdesktop {

class QtAlerts final : public platform::Alerts {
  public:
    // The first button is the default one; Escape chooses the last.
    std::size_t run(const platform::Alert& alert) override;
};

} // namespace quillo::linuxdesktop
