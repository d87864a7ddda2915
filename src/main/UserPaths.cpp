#include "main/UserPaths.h"

#include <cstdlib>

namespace quillo::cli {

std::optional<std::filesystem::path> userDataFolder() {
    // Relative values are to be ignored, as the XDG base directory rules say.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        return std::filesystem::path(data) / "Quillo";
    }
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return std::filesystem::path(home) / ".local" / "share" / "Quillo";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> userSnippetsFile() {
    auto folder = userDataFolder();
    if (!folder) {
        return std::nullopt;
    }
    return *folder / "snippets.json";
}

} // namespace quillo::cli
