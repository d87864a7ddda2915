// The user's preferences on Linux: one small JSON object in the program's configuration folder
// ($XDG_CONFIG_HOME/Quillo/preferences.json), read once at start and rewritten whole, atomically,
// at every change.
//
// Values keep their JSON type, so a value that is not true or false (written by hand, say) is
// told apart from a boolean and reads as missing. Keys the program does not know are kept. A
// file that is not a JSON object reads as empty and is replaced at the next change; failing to
// write is silent, as preferences are nothing the user could act on.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace quillo::linuxdesktop {

class LinuxPreferences final : public platform::Preferences {
  public:
    // Under $XDG_CONFIG_HOME/Quillo; without a home folder the values live in memory only.
    LinuxPreferences();
    explicit LinuxPreferences(std::filesystem::path configFolder);
    ~LinuxPreferences() override;
    LinuxPreferences(const LinuxPreferences&) = delete;
    LinuxPreferences& operator=(const LinuxPreferences&) = delete;

    std::optional<bool> boolValue(std::string_view key) const override;
    void setBool(std::string_view key, bool value) override;
    std::optional<std::int64_t> integerValue(std::string_view key) const override;
    void setInteger(std::string_view key, std::int64_t value) override;

    const std::optional<std::filesystem::path>& file() const { return file_; }

  private:
    void open(const std::filesystem::path& configFolder);
    void write() const;

    struct Values;
    std::unique_ptr<Values> values_;
    std::optional<std::filesystem::path> file_;
};

} // namespace quillo::linuxdesktop
