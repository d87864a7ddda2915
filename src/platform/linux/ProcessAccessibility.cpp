#include "platform/linux/ProcessAccessibility.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace quillo::linuxdesktop {

namespace {

std::string procFile(long process, const char* name) {
    return "/proc/" + std::to_string(process) + "/" + name;
}

} // namespace

std::optional<std::chrono::milliseconds> processAge(long process) {
    std::ifstream statFile(procFile(process, "stat"));
    std::string stat;
    std::getline(statFile, stat);
    // The command name in parentheses may hold spaces; the fields after it are numbered from 3, and
    // the start time (in clock ticks after boot) is the 22nd.
    const auto nameEnd = stat.rfind(')');
    std::ifstream uptimeFile("/proc/uptime");
    double uptimeSeconds = 0;
    if (nameEnd == std::string::npos || !(uptimeFile >> uptimeSeconds)) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int index = 3; index <= 22; ++index) {
        if (!(fields >> field)) {
            return std::nullopt;
        }
    }
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    char* end = nullptr;
    const long long startTicks = std::strtoll(field.c_str(), &end, 10);
    if (end == field.c_str() || ticksPerSecond <= 0) {
        return std::nullopt;
    }
    const double ageSeconds =
        uptimeSeconds - static_cast<double>(startTicks) / static_cast<double>(ticksPerSecond);
    return std::chrono::milliseconds(static_cast<long long>(ageSeconds * 1000));
}

bool loadsAccessibilityToolkit(long process) {
    std::ifstream maps(procFile(process, "maps"));
    return mapsAccessibilityToolkit(maps);
}

bool mapsAccessibilityToolkit(std::istream& maps) {
    constexpr std::array<const char*, 4> toolkits = {"libatk-bridge-2.0.so", "libgtk-4.so",
                                                     "libQt6Gui.so", "libQt5Gui.so"};
    std::string line;
    while (std::getline(maps, line)) {
        for (const char* toolkit : toolkits) {
            if (line.find(toolkit) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

} // namespace quillo::linuxdesktop
