#include "platform/linux/LinuxLoginItem.h"

#include "platform/linux/DesktopEntries.h"
#include "platform/linux/XdgPaths.h"
#include "platform/posix/PosixFiles.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace quillo::linuxdesktop {

namespace fs = std::filesystem;

namespace {

std::string entryFileName() {
    return std::string(applicationId) + ".desktop";
}

// The program as one argument of an Exec key: quoted when it holds a character that the
// launcher would otherwise read as syntax.
std::string execArgument(const std::string& program) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    if (program.find_first_of(reserved) == std::string::npos) {
        argument = program;
    } else {
        argument = "\"";
        for (const char c : program) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                argument += '\\';
            }
            argument += c;
        }
        argument += '"';
    }
    // A percent sign starts a field code in an Exec value.
    std::string escaped;
    for (const char c : argument) {
        escaped += c;
        if (c == '%') {
            escaped += '%';
        }
    }
    return escaped;
}

// Any string value of a desktop entry: backslashes and control characters are escaped.
std::string stringValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string entryText(const fs::path& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillo\n"
           "Comment=Expand typed shortcuts into longer text\n"
           "Exec=" +
           stringValue(execArgument(program.string())) +
           "\n"
           "Icon=" +
           std::string(applicationId) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// Whether the entry, as the desktop reads it, starts the program.
bool entryStartsProgram(std::string_view text) {
    const auto keys = desktopEntryKeys(text);
    const auto says = [&](std::string_view key, std::string_view value) {
        const auto found = keys.find(key);
        return found != keys.end() && found->second == value;
    };
    return !says("Hidden", "true") && !says("X-GNOME-Autostart-enabled", "false");
}

} // namespace

LinuxLoginItem::LinuxLoginItem() {
    if (auto folder = autostartFolder()) {
        entryFile_ = *folder / entryFileName();
    }
    std::error_code error;
    program_ = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        program_.clear();
        programError_ = "cannot tell where the program is: " + error.message();
    }
}

LinuxLoginItem::LinuxLoginItem(fs::path autostartFolder, fs::path program)
    : entryFile_(autostartFolder / entryFileName()), program_(std::move(program)) {}

bool LinuxLoginItem::isEnabled() const {
    if (!entryFile_) {
        return false;
    }
    auto bytes = posix::readFile(*entryFile_);
    if (!bytes) {
        return false;
    }
    return entryStartsProgram(
        std::string_view(reinterpret_cast<const char*>(bytes.value->data()), bytes.value->size()));
}

std::optional<std::string> LinuxLoginItem::setEnabled(bool enabled) {
    if (!entryFile_) {
        return "there is no folder for autostart entries: HOME is not set";
    }
    if (!enabled) {
        if (::unlink(entryFile_->c_str()) != 0 && errno != ENOENT) {
            return "Could not remove " + entryFile_->string() + ": " + std::strerror(errno);
        }
        return std::nullopt;
    }
    if (program_.empty()) {
        return programError_.empty() ? "cannot tell where the program is" : programError_;
    }
    if (auto error = posix::createFolders(entryFile_->parent_path())) {
        return error->description;
    }
    const std::string text = entryText(program_);
    if (auto error =
            posix::writeFileAtomically(*entryFile_, platform::Bytes(text.begin(), text.end()))) {
        return error->description;
    }
    return std::nullopt;
}

} // namespace quillo::linuxdesktop
