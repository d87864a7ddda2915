// What /proc tells of a program that is not on the accessibility bus yet but may be about to join
// it: Qt programs connect only once their first window is being shown, so for a moment a new Qt
// password dialog has the keyboard and no connection anyone could ask.
#pragma once

#include <chrono>
#include <istream>
#include <optional>

namespace quillo::linuxdesktop {

// How long ago the process started; none when it cannot be read (it ended, or belongs to another
// user on a system that hides those).
std::optional<std::chrono::milliseconds> processAge(long process);

// Whether the process has loaded a toolkit that connects its programs to the accessibility bus by
// itself: GTK's accessibility bridge (GTK 3 and the programs built on ATK), GTK 4, Qt's GUI library
// (which connects while the desktop's accessibility switch is on).
bool loadsAccessibilityToolkit(long process);
// The same, from the lines of the process's memory map (/proc/PID/maps).
bool mapsAccessibilityToolkit(std::istream& maps);

} // namespace quillo::linuxdesktop
