// What the windows learn from the X11 backend that the seam does not carry: which Mac key a key
// press in Quillo's own windows is (for hotkey and step-key recording, so that a recorded key is
// the key the keyboard tap reports), and which applications have a window open (for the app
// chooser). Call once at start-up, before a window records a key.
#pragma once

namespace quillo::cli {

void installUiDesktopHooks();

} // namespace quillo::cli
