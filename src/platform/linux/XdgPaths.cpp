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

} // namespace

std::optional<std::filesystem::path> dataFolder() {
    auto home = baseFolder("XDG_DATA_HOME", std::filesystem::path(".local") / "share");
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

std::optional<std::filesystem::path> autostartFolder() {
    auto home = configHome();
    if (!home) {
        return std::nullopt;
    }
    return *home / "autostart";
}

} // namespace quillo::linuxdesktop
