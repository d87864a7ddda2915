#include "platform/linux/XdgPaths.h"

#include <cstdlib>

namespace quillo::linuxdesktop {

namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> baseFolder(const char* variable,
                                                const std::filesystem::path& underHome) {
    if (auto folder = absoluteVariable(variable)) {
        return folder;
    }
    if (auto home = absoluteVariable("HOME")) {
        return *home / underHome;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> configHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> dataHome() {
    return baseFolder("XDG_DATA_HOME", std::filesystem::path(".local") / "share");
}

} // namespace

std::optional<std::filesystem::path> dataFolder() {
    auto home = dataHome();
    if (!home) {
        return std::nullopt;
    }
    return *home / "Quillo";
}

std::optional<std::filesystem::path> configFolder() {
    auto home = configHome();
    if (!home) {
        return std::nullopt;
    }
    return *home / "Quillo";
}

std::optional<std::filesystem::path> runtimeFolder() {
    return absoluteVariable("XDG_RUNTIME_DIR");
}

std::optional<std::filesystem::path> autostartFolder() {
    auto home = configHome();
    if (!home) {
        return std::nullopt;
    }
    return *home / "autostart";
}

std::vector<std::filesystem::path> applicationFolders() {
    std::vector<std::filesystem::path> folders;
    if (auto home = dataHome()) {
        folders.push_back(*home / "applications");
    }
    std::string_view dirs;
    if (const char* value = std::getenv("XDG_DATA_DIRS"); value != nullptr && value[0] != '\0') {
        dirs = value;
    } else {
        dirs = "/usr/local/share/:/usr/share/";
    }
    while (!dirs.empty()) {
        const auto colon = dirs.find(':');
        // A relative folder is ignored, as the rules ask.
        if (const auto dir = dirs.substr(0, colon); dir.starts_with('/')) {
            folders.push_back(std::filesystem::path(dir) / "applications");
        }
        dirs.remove_prefix(colon == std::string_view::npos ? dirs.size() : colon + 1);
    }
    return folders;
}

} // namespace quillo::linuxdesktop
