// Launch at login on Linux: the XDG autostart entry, what it starts, and what the desktop makes
// of it.
#include "platform/linux/LinuxLoginItem.h"
#include "support/EngineFixture.h"
#include "support/PersistenceContract.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <sstream>

namespace quillo::linuxdesktop {
namespace {

namespace fs = std::filesystem;
using testing::persistence::fileText;
using testing::persistence::writeText;

// The lines of the entry, without their line ends.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

std::string execLine(const fs::path& entry) {
    for (const auto& line : lines(fileText(entry))) {
        if (line.starts_with("Exec=")) {
            return line;
        }
    }
    return {};
}

class LinuxLoginItemTest : public ::testing::Test {
  protected:
    fs::path autostart() const { return folder.path() / "autostart"; }
    fs::path entry() const { return autostart() / "io.github.quillo.Quillo.desktop"; }

    testing::TemporaryFolder folder;
};

TEST_F(LinuxLoginItemTest, EnablingWritesAnAutostartEntryForTheProgram) {
    LinuxLoginItem item(autostart(), "/usr/bin/quillo");
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.entryFile(), entry());

    ASSERT_EQ(item.setEnabled(true), std::nullopt);

    EXPECT_TRUE(item.isEnabled());
    const auto entryLines = lines(fileText(entry()));
    ASSERT_FALSE(entryLines.empty());
    EXPECT_EQ(entryLines[0], "[Desktop Entry]");
    EXPECT_NE(std::find(entryLines.begin(), entryLines.end(), "Type=Application"),
              entryLines.end());
    EXPECT_NE(std::find(entryLines.begin(), entryLines.end(), "Name=Quillo"), entryLines.end());
    EXPECT_EQ(execLine(entry()), "Exec=/usr/bin/quillo");
}

TEST_F(LinuxLoginItemTest, DisablingRemovesTheEntryAndAMissingOneIsAlreadyOff) {
    LinuxLoginItem item(autostart(), "/usr/bin/quillo");
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(item.isEnabled());
}

struct ExecCase {
    std::string name;
    std::string program;
    std::string line;
};

class LinuxLoginItemExec : public LinuxLoginItemTest,
                           public ::testing::WithParamInterface<ExecCase> {};

TEST_P(LinuxLoginItemExec, NamesTheProgramAsTheLauncherReadsIt) {
    LinuxLoginItem item(autostart(), GetParam().program);
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(execLine(entry()), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    , LinuxLoginItemExec,
    ::testing::Values(ExecCase{"Plain", "/opt/quillo/bin/quillo", "Exec=/opt/quillo/bin/quillo"},
                      ExecCase{"Space", "/opt/My Apps/quillo", R"(Exec="/opt/My Apps/quillo")"},
                      ExecCase{"Dollar", "/home/a$b/quillo", R"(Exec="/home/a\\$b/quillo")"},
                      ExecCase{"QuoteAndBackslash", R"(/x/"q"\y/quillo)",
                               R"(Exec="/x/\\"q\\"\\\\y/quillo")"},
                      ExecCase{"Percent", "/opt/100%/quillo", "Exec=/opt/100%%/quillo"}),
    testing::CaseName());

struct StatusCase {
    std::string name;
    std::string entry;
    bool enabled;
};

class LinuxLoginItemStatus : public LinuxLoginItemTest,
                             public ::testing::WithParamInterface<StatusCase> {};

TEST_P(LinuxLoginItemStatus, IsWhatTheDesktopWillDoAtLogin) {
    writeText(entry(), GetParam().entry);
    EXPECT_EQ(LinuxLoginItem(autostart(), "/usr/bin/quillo").isEnabled(), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    , LinuxLoginItemStatus,
    ::testing::Values(
        StatusCase{"AnEntry", "[Desktop Entry]\nType=Application\nExec=quillo\n", true},
        StatusCase{"Hidden", "[Desktop Entry]\nExec=quillo\nHidden=true\n", false},
        StatusCase{"HiddenWithSpaces", "[Desktop Entry]\nExec=quillo\nHidden = true\n", false},
        StatusCase{"SwitchedOffInTheDesktopSettings",
                   "[Desktop Entry]\nExec=quillo\nX-GNOME-Autostart-enabled=false\n", false},
        StatusCase{"HiddenFalse", "[Desktop Entry]\nExec=quillo\nHidden=false\n", true},
        StatusCase{"HiddenInAnotherGroup",
                   "[Desktop Entry]\nExec=quillo\n[Desktop Action x]\nHidden=true\n", true},
        StatusCase{"WindowsLineEnds", "[Desktop Entry]\r\nExec=quillo\r\nHidden=true\r\n", false}),
    testing::CaseName());

TEST_F(LinuxLoginItemTest, TheEntryStartsTheRunningProgram) {
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", folder.path().string());
    LinuxLoginItem item;
    EXPECT_EQ(item.entryFile(), entry());
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(execLine(entry()), "Exec=" + fs::read_symlink("/proc/self/exe").string());
}

TEST_F(LinuxLoginItemTest, AnEntryThatCannotBeWrittenSaysWhy) {
    writeText(autostart(), "a file where the folder should be");
    LinuxLoginItem item(autostart(), "/usr/bin/quillo");
    auto error = item.setEnabled(true);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(autostart().string()), std::string::npos) << *error;
    EXPECT_FALSE(item.isEnabled());
}

TEST_F(LinuxLoginItemTest, WithoutAHomeThereIsNoEntry) {
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", std::nullopt);
    environment.set("HOME", std::nullopt);
    LinuxLoginItem item;
    EXPECT_FALSE(item.isEnabled());
    auto error = item.setEnabled(true);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->empty());
}

} // namespace
} // namespace quillo::linuxdesktop
