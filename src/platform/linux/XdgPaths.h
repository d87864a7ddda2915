// Where a Linux desktop keeps this user's data and settings, after the XDG base directory rules:
// an absolute $XDG_DATA_HOME or $XDG_CONFIG_HOME wins, otherwise the folders under $HOME. A
// relative value is ignored, as the rules ask; without an absolute HOME there is no such place.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace quillo::linuxdesktop {

// The program's name on the desktop: its desktop entry, its autostart entry and its icon.
inline constexpr std::string_view applicationId = "io.github.quillo.Quillo";

// $XDG_DATA_HOME/Quillo, by default ~/.local/share/Quillo: the snippets file.
std::optional<std::filesystem::path> dataFolder();
// $XDG_CONFIG_HOME/Quillo, by default ~/.config/Quillo: the preferences.
std::optional<std::filesystem::path> configFolder();
// $XDG_CONFIG_HOME/autostart, by default ~/.config/autostart: what starts at login.
std::optional<std::filesystem::path> autostartFolder();
// $XDG_RUNTIME_DIR: the session's own folder, which ends with the session; none when unset.
std::optional<std::filesystem::path> runtimeFolder();
// Where launcher files lie, the first the most important: $XDG_DATA_HOME/applications, then the
// applications folder of each $XDG_DATA_DIRS folder (by default /usr/local/share and /usr/share).
std::vector<std::filesystem::path> applicationFolders();

} // namespace quillo::linuxdesktop
