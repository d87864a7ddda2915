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

} // namespace quillo::linuxdesktop
