// The installed applications as the launcher files describe them, and the open ones beside them.
#include "platform/linux/DesktopEntries.h"
#include "support/EngineFixture.h"
#include "support/PersistenceContract.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace quillo::linuxdesktop {
namespace {

using platform::Application;
using testing::persistence::writeText;

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
    } cases[] = {{"", "Files"}, {"de_AT", "Dateien"}, {"pt_BR", "Arquivos"}, {"fr_FR", "Files"}};
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

} // namespace
} // namespace quillo::linuxdesktop
