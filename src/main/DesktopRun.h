// `quillo` with no command: the program on the user's X11 desktop. It watches the keyboard,
// expands the user's snippets in every application and runs until it is interrupted (SIGINT,
// SIGTERM). Without a usable X display it says what it needs and ends.
#pragma once

#include "model/Snippet.h"
#include "platform/Platform.h"

#include <utility>
#include <vector>

namespace quillo::cli {

// Returns the exit status: 0 after a signal, 1 when the desktop cannot be used.
int runDesktop(int argc, char** argv);

// The key combinations of the enabled hotkey snippets, which the keyboard tap has to grab. A
// stored key code outside the 16-bit range belongs to no key and is left out.
std::vector<std::pair<platform::KeyCode, platform::EventFlags>>
grabbedHotkeys(const std::vector<model::Snippet>& snippets);

} // namespace quillo::cli
