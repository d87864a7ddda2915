// The files the XDG folders hold: where the Linux desktop keeps the program's data, preferences
// and autostart entry; the installed applications as their launcher files describe them; launch
// at login as the autostart entry and what the desktop makes of it (the contract in
// PersistenceTest.cpp covers a folder that cannot be written); and the preferences file, whose
// values keep their JSON type, whose other keys survive, and which does no harm when broken.
#include "platform/linux/DesktopEntries.h"
#include "platform/linux/LinuxLoginItem.h"
#include "platform/linux/LinuxPreferences.h"
#include "platform/linux/XdgPaths.h"
#include "support/EngineFixture.h"
#include "support/PersistenceContract.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace quillo::linuxdesktop {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using platform::Application;
using testing::persistence::fileText;
using testing::persistence::writeText;

std::optional<std::string> text(const std::optional<std::filesystem::path>& path) {
    return path ? std::optional<std::string>(path->string()) : std::nullopt;
}

TEST(XdgPaths, FollowTheBaseDirectoryRules) {
    using Text = std::optional<std::string>;
    const Text none;
    const struct {
        const char* name;
        Text dataHome, configHome, home;
        Text data, config, autostart;
    } cases[] = {
        {"home alone", none, none, "/home/ada", "/home/ada/.local/share/Quillo",
         "/home/ada/.config/Quillo", "/home/ada/.config/autostart"},
        {"XDG folders win", "/data", "/settings", "/home/ada", "/data/Quillo", "/settings/Quillo",
         "/settings/autostart"},
        {"relative XDG folders are ignored", "data", "settings", "/home/ada",
         "/home/ada/.local/share/Quillo", "/home/ada/.config/Quillo",
         "/home/ada/.config/autostart"},
        {"no home", none, none, none, none, none, none},
        {"a relative home is no home", none, none, "ada", none, none, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScopedEnvironment environment;
        environment.set("XDG_DATA_HOME", c.dataHome);
        environment.set("XDG_CONFIG_HOME", c.configHome);
        environment.set("HOME", c.home);
        EXPECT_EQ(text(dataFolder()), c.data);
        EXPECT_EQ(text(configFolder()), c.config);
        EXPECT_EQ(text(autostartFolder()), c.autostart);
    }

    // The launchers' folders: the data home, then each absolute data folder.
    testing::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", "/data");
    environment.set("XDG_DATA_DIRS", "/opt/share:relative::/usr/share/");
    using Folders = std::vector<std::filesystem::path>;
    EXPECT_EQ(applicationFolders(), (Folders{"/data/applications", "/opt/share/applications",
                                             "/usr/share/applications"}));
    environment.set("XDG_DATA_HOME", std::nullopt);
    environment.set("XDG_DATA_DIRS", std::nullopt);
    environment.set("HOME", "/home/ada");
    EXPECT_EQ(applicationFolders(),
              (Folders{"/home/ada/.local/share/applications", "/usr/local/share/applications",
                       "/usr/share/applications"}));
}

// The keys in the main group, and an action group whose keys must not count.
std::string entry(const std::string& keys) {
    return "[Desktop Entry]\nType=Application\n" + keys +
           "\n[Desktop Action new]\nName=Other\nStartupWMClass=Wrong\n";
}

TEST(DesktopEntries, TheIdIsTheWindowClassTheLauncherNamesOrTheBestGuess) {
    const struct {
        const char* desktopId;
        std::string keys;
        std::string id;
    } cases[] = {
        {"firefox-esr",
         "Name=Firefox ESR\nExec=/usr/lib/firefox-esr/firefox-esr %u\nStartupWMClass=firefox-esr",
         "firefox-esr"},
        {"gedit", "Name=Text Editor\nExec=gedit %U", "Gedit"},
        {"org.gnome.Nautilus", "Name=Files\nExec=nautilus --new-window", "org.gnome.Nautilus"},
        {"editor", "Name=Editor\nExec=env LANG=C /opt/bin/kate -b", "Kate"},
        {"nothing-to-run", "Name=Nothing", "Nothing-to-run"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktopId);
        const auto application = applicationOfEntry(entry(c.keys), c.desktopId, "");
        ASSERT_TRUE(application);
        EXPECT_EQ(application->id, c.id);
    }
}

TEST(DesktopEntries, TheNameIsInTheUsersLanguageWhereTheLauncherHasIt) {
    const std::string text = entry("Name=Files\nName[de]=Dateien\nName[pt_BR]=Arquivos\n"
                                   "Icon=org.gnome.Nautilus\nExec=nautilus");
    const struct {
        const char* language;
        const char* name;
    } cases[] = {{"de_AT", "Dateien"}, {"pt_BR", "Arquivos"}, {"fr_FR", "Files"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        const auto application = applicationOfEntry(text, "org.gnome.Nautilus", c.language);
        ASSERT_TRUE(application);
        EXPECT_EQ(application->name, c.name);
        EXPECT_EQ(application->iconName, "org.gnome.Nautilus");
    }
}

TEST(DesktopEntries, HiddenEntriesAndOtherTypesAreNoApplications) {
    for (const std::string& text :
         {entry("Name=A\nExec=a\nNoDisplay=true"), entry("Name=A\nExec=a\nHidden=true"),
          std::string("[Desktop Entry]\nType=Link\nName=B\nURL=http://b\n"),
          std::string("Type=Application\nName=No group\nExec=c\n")}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(applicationOfEntry(text, "a", ""), std::nullopt);
    }
}

TEST(DesktopEntries, TheFirstFolderWinsEachIdIsOfferedOnceAndTheOpenOnesAreMarked) {
    testing::TemporaryFolder home;
    testing::TemporaryFolder system;
    testing::ScopedEnvironment environment;
    environment.set("LC_ALL", "C");
    writeText(home.path() / "gedit.desktop", entry("Name=My Editor\nExec=gedit"));
    writeText(system.path() / "gedit.desktop", entry("Name=Text Editor\nExec=gedit"));
    writeText(system.path() / "gedit-new.desktop", entry("Name=New Editor\nExec=gedit --new"));
    writeText(system.path() / "kde" / "kate.desktop", entry("Name=Kate\nExec=kate"));
    writeText(system.path() / "notes.txt", entry("Name=No launcher\nExec=notes"));

    const auto installed = installedApplications({home.path(), system.path()});
    EXPECT_EQ(installed, (std::vector<Application>{{"Kate", "Kate", "", false},
                                                   {"Gedit", "My Editor", "", false}}));

    EXPECT_EQ(withOpenApplications(installed, {"XTerm", "Gedit", "", "XTerm"}),
              (std::vector<Application>{{"XTerm", "XTerm", "", true},
                                        {"Kate", "Kate", "", false},
                                        {"Gedit", "My Editor", "", true}}));
}

// A filter written on X11 holds a window class, one written in a Wayland session a launcher id:
// each finds the other through the launcher files.
TEST(DesktopEntries, AnApplicationGoesByTheNamesOfTheLaunchersThatNameIt) {
    testing::TemporaryFolder folder;
    writeText(folder.path() / "org.gnome.Zenity.desktop",
              entry("Name=Zenity\nExec=zenity\nStartupWMClass=Zenity"));
    writeText(folder.path() / "gedit.desktop", entry("Name=Text Editor\nExec=gedit %U"));
    writeText(folder.path() / "firefox-esr.desktop",
              entry("Name=Firefox\nExec=firefox-esr\nStartupWMClass=Firefox-esr\nNoDisplay=true"));
    writeText(folder.path() / "gone.desktop", entry("Name=Gone\nExec=gone\nHidden=true"));
    writeText(folder.path() / "org.gnome.Calculator.desktop",
              entry("Name=Calculator\nExec=/usr/bin/gnome-calculator"));
    const auto launchers = installedLauncherNames({folder.path()});
    ASSERT_EQ(launchers.size(), 4u);

    const struct {
        const char* id;
        std::vector<std::string> names;
    } cases[] = {
        {"org.gnome.Zenity", {"org.gnome.Zenity", "Zenity"}},
        {"Zenity", {"Zenity", "org.gnome.Zenity"}},
        {"zenity", {"zenity", "org.gnome.Zenity", "Zenity"}},
        {"Gedit", {"Gedit", "gedit"}},
        {"gedit", {"gedit", "Gedit"}},
        {"firefox-esr", {"firefox-esr", "Firefox-esr"}},
        {"Gone", {"Gone"}},
        {"gnome-calculator", {"gnome-calculator", "org.gnome.Calculator"}},
        {"org.gnome.Calculator", {"org.gnome.Calculator"}},
        {"XTerm", {"XTerm"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(namesOfApplication(launchers, c.id), c.names);
    }
}

class LinuxLoginItemTest : public ::testing::Test {
  protected:
    fs::path autostart() const { return folder.path() / "autostart"; }
    fs::path entry() const { return autostart() / "io.github.quillo.Quillo.desktop"; }
    std::string execLine() const {
        const std::string text = fileText(entry());
        const auto start = text.find("\nExec=") + 1;
        return text.substr(start, text.find('\n', start) - start);
    }

    testing::TemporaryFolder folder;
};

TEST_F(LinuxLoginItemTest, TheEntryNamesTheProgramAsTheLauncherReadsIt) {
    const struct {
        const char* program;
        const char* line;
    } cases[] = {
        {"/opt/quillo/bin/quillo", "Exec=/opt/quillo/bin/quillo"},
        {"/opt/My Apps/quillo", R"(Exec="/opt/My Apps/quillo")"},
        {"/home/a$b/quillo", R"(Exec="/home/a\\$b/quillo")"},
        {R"(/x/"q"\y/quillo)", R"(Exec="/x/\\"q\\"\\\\y/quillo")"},
        {"/opt/100%/quillo", "Exec=/opt/100%%/quillo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        ASSERT_EQ(LinuxLoginItem(autostart(), c.program).setEnabled(true), std::nullopt);
        EXPECT_EQ(execLine(), c.line);
    }
}

TEST_F(LinuxLoginItemTest, IsEnabledIsWhatTheDesktopWillDoAtLogin) {
    const struct {
        const char* entry;
        bool enabled;
    } cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=quillo\n", true},
        {"[Desktop Entry]\nExec=quillo\nHidden=true\n", false},
        {"[Desktop Entry]\nExec=quillo\nHidden = true\n", false},
        // Switched off in the desktop's settings.
        {"[Desktop Entry]\nExec=quillo\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=quillo\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=quillo\n[Desktop Action x]\nHidden=true\n", true},
        {"[Desktop Entry]\r\nExec=quillo\r\nHidden=true\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        writeText(entry(), c.entry);
        EXPECT_EQ(LinuxLoginItem(autostart(), "/usr/bin/quillo").isEnabled(), c.enabled);
    }
    EXPECT_EQ(LinuxLoginItem(autostart(), "/usr/bin/quillo").setEnabled(false), std::nullopt);
    EXPECT_FALSE(fs::exists(entry()));
}

// The entry and the preferences follow XDG_CONFIG_HOME; without a home there is no entry, and
// the preferences live in memory.
TEST_F(LinuxLoginItemTest, TheRunningProgramsFilesFollowTheConfigFolderOrWithoutAHomeNone) {
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", folder.path().string());
    LinuxLoginItem item;
    EXPECT_EQ(item.entryFile(), entry());
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(execLine(), "Exec=" + fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(LinuxPreferences().file(), folder.path() / "Quillo" / "preferences.json");

    environment.set("XDG_CONFIG_HOME", std::nullopt);
    environment.set("HOME", std::nullopt);
    LinuxLoginItem homeless;
    EXPECT_FALSE(homeless.isEnabled());
    EXPECT_NE(homeless.setEnabled(true).value_or(""), "");
    LinuxPreferences preferences;
    EXPECT_EQ(preferences.file(), std::nullopt);
    preferences.setBool("appendDelimiter", true);
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), true);
}

class LinuxPreferencesTest : public ::testing::Test {
  protected:
    fs::path configFolder() const { return folder.path() / "Quillo"; }
    fs::path file() const { return configFolder() / "preferences.json"; }
    Json stored() const { return Json::parse(fileText(file())); }

    testing::TemporaryFolder folder;
};

// The file may hold keys of other versions: a change keeps them, and their JSON types.
TEST_F(LinuxPreferencesTest, AChangeKeepsTheOtherKeys) {
    const std::string before =
        R"({"isExpansionEnabled":"false","appendDelimiter":1,)"
        R"("hasCompletedOnboarding":null,"window":{"width":640,"tabs":[1,2]}})";
    writeText(file(), before);
    LinuxPreferences preferences(configFolder());
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), std::nullopt);
    preferences.setBool("launchAtLogin", true);
    Json expected = Json::parse(before);
    expected["launchAtLogin"] = true;
    EXPECT_EQ(stored(), expected);
}

TEST_F(LinuxPreferencesTest, AFileThatIsNoObjectReadsAsEmptyAndIsReplacedAtTheNextChange) {
    for (const std::string text :
         {"", "[true]", "not json", "\"isExpansionEnabled\"", R"({"isExpansionEnabled":false)"}) {
        SCOPED_TRACE(text);
        writeText(file(), text);
        LinuxPreferences preferences(configFolder());
        EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), std::nullopt);
        preferences.setBool("isExpansionEnabled", false);
        EXPECT_EQ(stored(), Json::parse(R"({"isExpansionEnabled":false})"));
    }
}

TEST_F(LinuxPreferencesTest, ADeeplyNestedValueIsDroppedNotFollowed) {
    const std::string deep = std::string(200'000, '[') + std::string(200'000, ']');
    writeText(file(), R"({"junk":)" + deep + R"(,"isExpansionEnabled":false})");
    LinuxPreferences preferences(configFolder());
    EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), false);
    preferences.setBool("appendDelimiter", true);
    EXPECT_EQ(stored()["appendDelimiter"], true);
    EXPECT_EQ(stored()["isExpansionEnabled"], false);
}

} // namespace
} // namespace quillo::linuxdesktop
