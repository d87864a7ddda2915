// Which application a process belongs to, as /proc tells it: where no window system names the
// program in front (a Wayland session), the process behind the focused field is all there is.
//
// GNOME and KDE start each application from its launcher file in a systemd unit of its own, whose
// name carries the launcher's id ("app-gnome-org.gnome.Calculator-12345.scope"), the id the
// desktop itself uses for the application; a program started otherwise (from a terminal, by
// another program) is in the unit of whatever started it, which names no application or the
// wrong one. The executable's name is the fallback.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillo::linuxdesktop {

// A unit name with systemd's escapes undone ("firefox\x2desr" -> "firefox-esr").
std::string unescapedUnitName(std::string_view name);

// The launcher id that the unit of a process's /proc/PID/cgroup text names, from the forms the
// desktops use: app[-<launcher>]-<id>-<random>.scope, app[-<launcher>]-<id>[@<random>].service,
// and dbus-<bus>-<id>@<n>.service for an application that D-Bus started by its well-known name.
// Only the process's own unit counts (the last part of the path): a parent's names the program
// that started it. None for any other unit.
std::optional<std::string> launcherIdOfCgroup(std::string_view cgroupText);

// The same for a running process; none when it cannot be read.
std::optional<std::string> launcherIdOfProcess(long process);
// The name of the process's executable (of its command where the executable is hidden).
std::optional<std::string> programOfProcess(long process);

} // namespace quillo::linuxdesktop
