// The desktop program's switches for scripts: the windows they open, and everything else
// refused, so that a mistyped command never starts a second Quillo by accident.
#include "main/DesktopRun.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillo::main {
namespace {

// The window, the tab and whether to quit when ready, as "show tab quit"; "-" for none.
std::string summary(const std::optional<DesktopOptions>& options) {
    if (!options) {
        return "refused";
    }
    return options->show.value_or("-") + " " + options->tab.value_or("-") +
           (options->quitWhenReady ? " quit" : "") + (options->inputMethod ? " ime" : "");
}

TEST(DesktopOptions, ReadsTheScriptsSwitchesAndRefusesEverythingElse) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "- -"},
        {{"--show", "menu"}, "menu -"},
        {{"--show", "settings", "--tab", "help"}, "settings help"},
        {{"--quit-when-ready"}, "- - quit"},
        {{"--input-method", "--show", "menu"}, "menu - ime"},
        {{"--show"}, "refused"},
        {{"--show", "settings", "--tab"}, "refused"},
        {{"--verbose"}, "refused"},
        {{"run"}, "refused"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(summary(parseDesktopOptions(args)), expected) << ::testing::PrintToString(args);
    }
}

} // namespace
} // namespace quillo::main
