// What /proc tells of a program that may be about to join the accessibility bus.
#include "platform/linux/ProcessAccessibility.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace quillo::linuxdesktop {
namespace {

TEST(ProcessAccessibility, KnowsTheToolkitsThatJoinTheBusByThemselves) {
    const std::string maps = "7f3a1c000000-7f3a1c100000 r-xp 00000000 08:01 1234 ";
    const struct {
        const char* library;
        bool joins;
    } cases[] = {
        {"/usr/lib/x86_64-linux-gnu/libatk-bridge-2.0.so.0.0.0", true}, // GTK 3, ATK programs
        {"/usr/lib/x86_64-linux-gnu/libgtk-4.so.1.800.3", true},
        {"/usr/lib/x86_64-linux-gnu/libQt6Gui.so.6.4.2", true},
        {"/usr/lib/x86_64-linux-gnu/libQt5Gui.so.5.15.8", true},
        {"/usr/lib/x86_64-linux-gnu/libXaw.so.7.0.0", false}, // xterm
        {"/usr/lib/x86_64-linux-gnu/libatk-1.0.so.0.24809.1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library);
        std::istringstream lines(maps + "/usr/lib/x86_64-linux-gnu/libc.so.6\n" + maps + c.library +
                                 "\n");
        EXPECT_EQ(mapsAccessibilityToolkit(lines), c.joins);
    }
}

// This program against a process that cannot exist: no process has the number pid_max.
TEST(ProcessAccessibility, TellsTheAgeAndToolkitOfARunningProcessOnly) {
    long pidMax = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    ASSERT_GT(pidMax, 0);
    const auto age = processAge(getpid());
    ASSERT_TRUE(age);
    EXPECT_GE(age->count(), 0);
    EXPECT_LT(age->count(), 3'600'000) << "an hour old";
    EXPECT_GE(processAge(getppid()), age) << "the parent started first";
    // Whether this program maps a toolkit depends on how it was linked; the answer by its number
    // is the answer of its own maps.
    std::ifstream maps("/proc/self/maps");
    EXPECT_EQ(loadsAccessibilityToolkit(getpid()), mapsAccessibilityToolkit(maps));
    EXPECT_EQ(processAge(pidMax), std::nullopt);
    EXPECT_FALSE(loadsAccessibilityToolkit(pidMax));
}

} // namespace
} // namespace quillo::linuxdesktop
