// The desktop program's switches for scripts: the windows they open, and everything else
// refused, so that a mistyped command never starts a second Quillo by accident.
#include "main/DesktopRun.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace quillo::main {
namespace {

struct Case {
    const char* name;
    std::vector<std::string> args;
    bool accepted;
    std::optional<std::string> show;
    std::optional<std::string> tab;
    bool quitWhenReady;
};

class DesktopOptionsTest : public ::testing::TestWithParam<Case> {};

TEST_P(DesktopOptionsTest, ReadsTheScriptsSwitches) {
    const Case& c = GetParam();
    const auto options = parseDesktopOptions(c.args);
    ASSERT_EQ(options.has_value(), c.accepted);
    if (options) {
        EXPECT_EQ(options->show, c.show);
        EXPECT_EQ(options->tab, c.tab);
        EXPECT_EQ(options->quitWhenReady, c.quitWhenReady);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, DesktopOptionsTest,
    ::testing::Values(
        Case{"None", {}, true, std::nullopt, std::nullopt, false},
        Case{"Menu", {"--show", "menu"}, true, "menu", std::nullopt, false},
        Case{"SettingsTab",
             {"--show", "settings", "--tab", "help"},
             true,
             "settings",
             "help",
             false},
        Case{"QuitWhenReady", {"--quit-when-ready"}, true, std::nullopt, std::nullopt, true},
        Case{"ShowWithoutWindow", {"--show"}, false, std::nullopt, std::nullopt, false},
        Case{"TabWithoutName",
             {"--show", "settings", "--tab"},
             false,
             std::nullopt,
             std::nullopt,
             false},
        Case{"UnknownSwitch", {"--verbose"}, false, std::nullopt, std::nullopt, false},
        Case{"Command", {"run"}, false, std::nullopt, std::nullopt, false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace quillo::main
