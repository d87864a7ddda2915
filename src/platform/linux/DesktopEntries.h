// The launcher files of a Linux desktop (".desktop" files in freedesktop.org's format): the
// autostart entry that starts Quillo at login, and the installed applications that a snippet's
// application filter can name.
//
// An application is named by the class its windows carry (the second string of WM_CLASS), the id
// that the application filters hold: the launcher's StartupWMClass when it says, otherwise the
// best guess. Applications named in reverse-domain form (org.gnome.Nautilus) are GTK and Qt
// programs that use that name as their class; the others follow Xlib's and GTK's custom of the
// program's name with a capital first letter ("gedit" -> "Gedit").
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::linuxdesktop {

// The keys of the [Desktop Entry] group with their values, spaces around both trimmed; other
// groups (a launcher's actions) and comments are left out.
std::map<std::string, std::string, std::less<>> desktopEntryKeys(std::string_view text);

// The application of one launcher file's text, whose id in its folder is `desktopId`
// ("org.gnome.Nautilus", "kde-kate"), its name in `language` ("de_DE", "de", or empty) where the
// file has one; none for hidden entries and entries that are no application.
std::optional<platform::Application>
applicationOfEntry(std::string_view text, std::string_view desktopId, std::string_view language);

// Every application of the folders, one entry per id, by name: a folder listed earlier overrides
// a file of the same id in a later one, as desktops do. Names are in the language of the user's
// messages (LC_ALL, LC_MESSAGES, LANG).
std::vector<platform::Application>
installedApplications(const std::vector<std::filesystem::path>& folders);

// The installed applications with those whose windows are open now (by class, in the window
// manager's order) marked so; an open one that is not installed comes first, named by its class.
std::vector<platform::Application>
withOpenApplications(std::vector<platform::Application> installed,
                     const std::vector<std::string>& openClasses);

// The names one launcher file gives its application: the id of the file in its folder (what a
// Wayland desktop calls the application), the class its windows carry on X11 where it says
// (StartupWMClass), the id the app chooser offers for it (that class, or the best guess), and
// the program its Exec line starts.
struct LauncherNames {
    std::string desktopId;
    std::string windowClass;
    std::string offeredId;
    std::string program;
    bool operator==(const LauncherNames&) const = default;
};

// None for hidden entries and entries that are no application; entries kept off the menus
// (NoDisplay) still name a program that runs.
std::optional<LauncherNames> launcherNamesOfEntry(std::string_view text,
                                                  std::string_view desktopId);
// Of every launcher of the folders, one per file id, the earlier folder winning.
std::vector<LauncherNames>
installedLauncherNames(const std::vector<std::filesystem::path>& folders);

// `id` first, then the other names of each launcher that names it by any of its names or whose
// program it is, letter case aside: what a filter written on X11 or in a Wayland session may hold
// for the same application ("Zenity" and "org.gnome.Zenity", "Gedit" and "gedit",
// "gnome-calculator" and "org.gnome.Calculator").
std::vector<std::string> namesOfApplication(const std::vector<LauncherNames>& launchers,
                                            std::string_view id);

} // namespace quillo::linuxdesktop
