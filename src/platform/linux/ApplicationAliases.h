// The names each application goes by, from the launcher files: a filter written on X11 holds a
// window class ("Zenity"), one written in a Wayland session a launcher id ("org.gnome.Zenity"),
// and either has to work in the other session.
//
// The launcher files are read once, on a thread of their own, and again only after a change of
// the application folders (a launcher installed or removed changes its folder's time), so that the
// question an expansion asks costs a few stat calls. Until the first reading is done, an
// application goes by its id alone.
#pragma once

#include "platform/linux/DesktopEntries.h"

#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::linuxdesktop {

class ApplicationAliases {
  public:
    // Starts reading the folders' launchers at once.
    explicit ApplicationAliases(std::vector<std::filesystem::path> folders);
    // Waits for a reading under way.
    ~ApplicationAliases();
    ApplicationAliases(const ApplicationAliases&) = delete;
    ApplicationAliases& operator=(const ApplicationAliases&) = delete;

    // `id` first, then its other names (namesOfApplication). Main thread.
    std::vector<std::string> namesOf(std::string_view id);

  private:
    using Stamps = std::vector<std::filesystem::file_time_type>;
    Stamps stamps() const;
    void refresh();

    std::vector<std::filesystem::path> folders_;
    std::vector<LauncherNames> launchers_;
    std::optional<Stamps> read_; // the folders' times when the launchers in use were read
    Stamps asked_;               // and when the reading under way started
    std::future<std::vector<LauncherNames>> reading_;
};

} // namespace quillo::linuxdesktop
