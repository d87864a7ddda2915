// `quillo` with no command: the program on the user's X11 desktop. It watches the keyboard,
// expands the user's snippets in every application and runs until it is interrupted (SIGINT,
// SIGTERM). Without a usable X display it says what it needs and ends.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillo::main {

// Switches for scripts, not for users: open a window at start (scripts/screenshots), or quit as
// soon as the tray is up (to measure the start).
struct DesktopOptions {
    std::optional<std::string> show; // "menu", "onboarding", "settings" or "search"
    std::optional<std::string> tab;  // the settings tab: "snippets", "general", "help", "about"
    bool quitWhenReady = false;
    // Keys in and text out through Quillo's IBus engine even where the X server could be watched
    // (QUILLO_INPUT_METHOD=1 does the same), and the engine made the active one.
    bool inputMethod = false;
};
// None when an argument is not one of these switches.
std::optional<DesktopOptions> parseDesktopOptions(const std::vector<std::string>& args);

// Returns the exit status: 0 after a signal or Quit (or when another Quillo already runs, which
// then shows its settings window), 1 when the desktop cannot be used.
int runDesktop(int argc, char** argv, const DesktopOptions& options = {});

// Keeps the process's memory, which holds what the user has typed since the last reset, out of
// core files and crash reports, and out of reach of other programs' debuggers. False when the
// system refused.
bool keepMemoryPrivate();

} // namespace quillo::main
