#include "main/DesktopRun.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

using namespace quillo;
TEST(DesktopRun, LeavesNoCoreFileOfWhatWasTyped) {
    // In a child of its own, so that the rest of the tests keep their core files.
    EXPECT_EXIT(
        {
            const bool kept = main::keepMemoryPrivate();
            std::_Exit(kept && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
