#include "platform/linux/LinuxPreferences.h"

#include "platform/linux/XdgPaths.h"
#include "platform/posix/PosixFiles.h"

#include <exception>
#include <nlohmann/json.hpp>
#include <string>

namespace quillo::linuxdesktop {

namespace {

using Json = nlohmann::ordered_json;

// Deeper values are dropped while reading, so that a strange file cannot make the writer (which
// recurses) run out of stack.
constexpr int maxKeptDepth = 16;

Json readObject(const std::filesystem::path& file) {
    auto bytes = posix::readFile(file);
    if (!bytes) {
        return Json::object();
    }
    try {
        Json parsed = Json::parse(
            bytes.value->begin(), bytes.value->end(),
            [](int depth, Json::parse_event_t, Json&) { return depth <= maxKeptDepth; }, false);
        if (parsed.is_object()) {
            return parsed;
        }
    } catch (const std::exception&) {
        // Out of memory: the file reads as empty, like any other unreadable file.
    }
    return Json::object();
}

} // namespace

struct LinuxPreferences::Values {
    Json object = Json::object();
};

LinuxPreferences::LinuxPreferences() : values_(std::make_unique<Values>()) {
    if (auto folder = linuxdesktop::configFolder()) {
        open(*folder);
    }
}

LinuxPreferences::LinuxPreferences(std::filesystem::path configFolder)
    : values_(std::make_unique<Values>()) {
    open(configFolder);
}

void LinuxPreferences::open(const std::filesystem::path& configFolder) {
    file_ = configFolder / "preferences.json";
    values_->object = readObject(*file_);
}

LinuxPreferences::~LinuxPreferences() = default;

std::optional<bool> LinuxPreferences::boolValue(std::string_view key) const {
    const auto found = values_->object.find(std::string(key));
    if (found == values_->object.end() || !found->is_boolean()) {
        return std::nullopt;
    }
    return found->get<bool>();
}

void LinuxPreferences::setBool(std::string_view key, bool value) {
    values_->object[std::string(key)] = value;
    write();
}

std::optional<std::int64_t> LinuxPreferences::integerValue(std::string_view key) const {
    const auto found = values_->object.find(std::string(key));
    if (found == values_->object.end() || !found->is_number_integer()) {
        return std::nullopt;
    }
    // A number beyond 64 bits is stored as a float by the parser and is no integer here.
    return found->get<std::int64_t>();
}

void LinuxPreferences::setInteger(std::string_view key, std::int64_t value) {
    values_->object[std::string(key)] = value;
    write();
}

void LinuxPreferences::write() const {
    if (!file_) {
        return;
    }
    try {
        const std::string text =
            values_->object.dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
        if (posix::createFolders(file_->parent_path())) {
            return;
        }
        (void)posix::writeFileAtomically(*file_, platform::Bytes(text.begin(), text.end()));
    } catch (const std::exception&) {
        // Out of memory; the value stays in memory for this run.
    }
}

} // namespace quillo::linuxdesktop
