#include "main/DesktopRun.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

using namespace quillo;
using Mode = model::Snippet::TriggerMode;

model::Snippet hotkey(std::int64_t keyCode, std::uint64_t modifiers) {
    auto snippet = model::Snippet::make();
    snippet.triggerMode = Mode::hotkey;
    snippet.hotkeyKeyCode = keyCode;
    snippet.hotkeyModifiers = modifiers;
    return snippet;
}

TEST(DesktopRun, grabsTheHotkeysOfEnabledHotkeySnippetsOnly) {
    auto disabled = hotkey(1, 0x40000);
    disabled.isEnabled = false;
    auto typed = hotkey(2, 0x40000);
    typed.triggerMode = Mode::afterDelimiter;
    auto withoutModifiers = hotkey(3, 0);
    withoutModifiers.hotkeyModifiers.reset();
    const std::vector<model::Snippet> snippets = {
        hotkey(46, 0xC0000),
        disabled,
        typed,
        withoutModifiers,
        hotkey(70000, 0x40000),
        hotkey(-1, 0x40000),
        hotkey(46, 0xC0000), // the same combination again
        hotkey(12, 0x20000),
    };
    const std::vector<std::pair<platform::KeyCode, platform::EventFlags>> expected = {
        {46, 0xC0000}, {12, 0x20000}};
    EXPECT_EQ(cli::grabbedHotkeys(snippets), expected);
}

TEST(DesktopRun, leavesNoCoreFileOfWhatWasTyped) {
    // In a child of its own, so that the rest of the tests keep their core files.
    EXPECT_EXIT(
        {
            const bool kept = cli::keepMemoryPrivate();
            std::_Exit(kept && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
