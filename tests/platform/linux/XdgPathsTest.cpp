// Where the Linux desktop keeps the program's data, preferences and autostart entry.
#include "platform/linux/XdgPaths.h"
#include "support/EngineFixture.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace quillo::linuxdesktop {
namespace {

struct PathsCase {
    std::string name;
    std::optional<std::string> dataHome;
    std::optional<std::string> configHome;
    std::optional<std::string> home;
    std::optional<std::string> data;
    std::optional<std::string> config;
    std::optional<std::string> autostart;
};

class XdgPaths : public ::testing::TestWithParam<PathsCase> {};

std::optional<std::string> text(const std::optional<std::filesystem::path>& path) {
    return path ? std::optional<std::string>(path->string()) : std::nullopt;
}

TEST_P(XdgPaths, FollowTheBaseDirectoryRules) {
    const PathsCase& c = GetParam();
    testing::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", c.dataHome);
    environment.set("XDG_CONFIG_HOME", c.configHome);
    environment.set("HOME", c.home);

    EXPECT_EQ(text(dataFolder()), c.data);
    EXPECT_EQ(text(configFolder()), c.config);
    EXPECT_EQ(text(autostartFolder()), c.autostart);
}

INSTANTIATE_TEST_SUITE_P(
    , XdgPaths,
    ::testing::Values(PathsCase{"HomeAlone", std::nullopt, std::nullopt, "/home/ada",
                                "/home/ada/.local/share/Quillo", "/home/ada/.config/Quillo",
                                "/home/ada/.config/autostart"},
                      PathsCase{"XdgFoldersWin", "/data", "/settings", "/home/ada", "/data/Quillo",
                                "/settings/Quillo", "/settings/autostart"},
                      PathsCase{"RelativeXdgFoldersAreIgnored", "data", "settings", "/home/ada",
                                "/home/ada/.local/share/Quillo", "/home/ada/.config/Quillo",
                                "/home/ada/.config/autostart"},
                      PathsCase{"EmptyXdgFoldersAreIgnored", "", "", "/home/ada",
                                "/home/ada/.local/share/Quillo", "/home/ada/.config/Quillo",
                                "/home/ada/.config/autostart"},
                      PathsCase{"NoHome", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                std::nullopt, std::nullopt},
                      PathsCase{"ARelativeHomeIsNoHome", std::nullopt, std::nullopt, "ada",
                                std::nullopt, std::nullopt, std::nullopt},
                      PathsCase{"XdgFoldersWithoutHome", "/data", "/settings", std::nullopt,
                                "/data/Quillo", "/settings/Quillo", "/settings/autostart"}),
    testing::CaseName());

TEST(XdgApplicationFolders, AreTheDataHomeThenEachDataFolder) {
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

} // namespace
} // namespace quillo::linuxdesktop
