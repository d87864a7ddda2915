// Where a Linux desktop keeps this user's data and settings (the XDG base directories).
#pragma once

#include <filesystem>
#include <optional>

namespace quillo::cli {

// $XDG_DATA_HOME/Quillo, or ~/.local/share/Quillo; none without a home.
std::optional<std::filesystem::path> userDataFolder();
std::optional<std::filesystem::path> userSnippetsFile();

} // namespace quillo::cli
