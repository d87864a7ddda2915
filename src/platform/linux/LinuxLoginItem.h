// Starting Quillo at login on a Linux desktop: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/io.github.quillo.Quillo.desktop, that runs this very program.
//
// The entry itself is the state, so the status follows what the user's desktop will really do:
// it is on while the entry exists and neither hides itself (Hidden=true) nor was switched off in
// the desktop's own settings (X-GNOME-Autostart-enabled=false).
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillo::linuxdesktop {

class LinuxLoginItem final : public platform::LoginItem {
  public:
    // The user's autostart folder and the running program (/proc/self/exe).
    LinuxLoginItem();
    // `program` is the absolute path that the entry starts.
    LinuxLoginItem(std::filesystem::path autostartFolder, std::filesystem::path program);

    bool isEnabled() const override;
    // Writes or removes the entry; a missing entry is already off.
    std::optional<std::string> setEnabled(bool enabled) override;

    // None without a home folder.
    const std::optional<std::filesystem::path>& entryFile() const { return entryFile_; }

  private:
    std::optional<std::filesystem::path> entryFile_;
    std::filesystem::path program_; // empty when it cannot be told
    std::string programError_;      // why, then
};

} // namespace quillo::linuxdesktop
