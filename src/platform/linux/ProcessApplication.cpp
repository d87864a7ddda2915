#include "platform/linux/ProcessApplication.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace quillo::linuxdesktop {

namespace {

std::string procFile(long process, const char* name) {
    return "/proc/" + std::to_string(process) + "/" + name;
}

// The path of the unified hierarchy (cgroup v2, "0::/..."), else of systemd's own hierarchy on a
// system that still mounts the v1 ones.
std::optional<std::string_view> systemdPath(std::string_view text) {
    std::optional<std::string_view> named;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with("0::")) {
            return line.substr(3);
        }
        if (const auto at = line.find(":name=systemd:"); at != std::string_view::npos) {
            named = line.substr(at + std::string_view(":name=systemd:").size());
        }
    }
    return named;
}

std::vector<std::string_view> dashParts(std::string_view name) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto dash = name.find('-');
        parts.push_back(name.substr(0, dash));
        if (dash == std::string_view::npos) {
            return parts;
        }
        name.remove_prefix(dash + 1);
    }
}

std::string joined(const std::vector<std::string_view>& parts, std::size_t from, std::size_t to) {
    std::string result;
    for (std::size_t i = from; i < to; ++i) {
        result += (i > from ? "-" : "");
        result += parts[i];
    }
    return result;
}

// The id of an "app-" unit, still escaped, without "app-" and the suffix: "gnome-org.foo-12"
// (scope: a random part last) or "gnome-org.foo" (service, "@..." already cut off).
std::optional<std::string> idOfAppUnit(std::string_view rest, bool random) {
    const auto parts = dashParts(rest);
    const std::size_t end = parts.size() - (random ? 1 : 0);
    if (end == 0) {
        return std::nullopt;
    }
    // One part is the id alone; with more the first names the launcher (gnome, kde, flatpak).
    // The id's own dashes are escaped where the launcher follows the naming rules; where they
    // are not, the parts between the launcher and the random part are the id.
    const std::size_t begin = end == 1 ? 0 : 1;
    std::string id = unescapedUnitName(joined(parts, begin, end));
    if (id.empty()) {
        return std::nullopt;
    }
    return id;
}

} // namespace

std::string unescapedUnitName(std::string_view name) {
    std::string result;
    result.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const std::string_view digits = name.substr(i + 2, 2);
            unsigned byte = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), byte, 16);
            if (error == std::errc() && end == digits.data() + digits.size()) {
                result += static_cast<char>(byte);
                i += 3;
                continue;
            }
        }
        result += name[i];
    }
    return result;
}

std::optional<std::string> launcherIdOfCgroup(std::string_view cgroupText) {
    auto path = systemdPath(cgroupText);
    if (!path) {
        return std::nullopt;
    }
    while (!path->empty() && (path->back() == '/' || path->back() == '\r')) {
        path->remove_suffix(1);
    }
    std::string_view unit = path->substr(path->rfind('/') + 1);
    if (unit.ends_with(".scope") && unit.starts_with("app-")) {
        unit.remove_suffix(std::string_view(".scope").size());
        return idOfAppUnit(unit.substr(4), true);
    }
    if (!unit.ends_with(".service")) {
        return std::nullopt;
    }
    unit.remove_suffix(std::string_view(".service").size());
    unit = unit.substr(0, unit.find('@'));
    if (unit.starts_with("app-")) {
        return idOfAppUnit(unit.substr(4), false);
    }
    // dbus-:1.2-org.gnome.Nautilus: the bus's unique name of the activator, then the name asked
    // for, which for an application launched by D-Bus is its launcher's id.
    if (unit.starts_with("dbus-")) {
        unit.remove_prefix(5);
        if (const auto dash = unit.find('-'); dash != std::string_view::npos && unit[0] == ':') {
            if (std::string id = unescapedUnitName(unit.substr(dash + 1)); !id.empty()) {
                return id;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> launcherIdOfProcess(long process) {
    std::ifstream file(procFile(process, "cgroup"));
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return launcherIdOfCgroup(text.str());
}

std::optional<std::string> programOfProcess(long process) {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink(procFile(process, "exe"), error);
    if (!error && !exe.filename().empty()) {
        // A program replaced on disk while running reads "name (deleted)".
        std::string name = exe.filename().string();
        if (const auto deleted = name.rfind(" (deleted)");
            deleted != std::string::npos && deleted + 10 == name.size()) {
            name.resize(deleted);
        }
        return name;
    }
    std::ifstream comm(procFile(process, "comm"));
    std::string name;
    if (std::getline(comm, name) && !name.empty()) {
        return name;
    }
    return std::nullopt;
}

} // namespace quillo::linuxdesktop
