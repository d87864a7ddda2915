// The virtual scheduler's guarantees that the engine's tests rely on without being able to see
// a breach: the order of work due at one instant, one worker at a time, and the teardown.
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace quillo::sim {
namespace {

using namespace std::chrono_literals;

TEST(Scheduler, WorkDueAtTheSameInstantRunsInTheOrderItWasScheduled) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    std::vector<std::string> log;
    // Started c, a, b; each wakes at 5 ms, but b lies down for it first and c last. The timer's
    // tick at 5 ms was scheduled before any of them.
    auto timer = time.startRepeating(5ms, [&] { log.push_back("tick"); });
    for (const auto& sleeper : {std::pair{"c", 2ms}, std::pair{"a", 1ms}, std::pair{"b", 0ms}}) {
        time.runInBackground([&, name = sleeper.first, first = sleeper.second] {
            time.sleep(first);
            time.sleep(5ms - first);
            log.push_back(name + std::string("@") + std::to_string(desktop.now() / 1ms));
        });
    }
    desktop.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"tick", "b@5", "a@5", "c@5"}));
}

TEST(Scheduler, NeverRunsTwoWorkersAtOnce) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    int running = 0, mostAtOnce = 0;
    for (int i = 0; i < 8; ++i) {
        time.runInBackground([&, i] {
            for (int step = 0; step < 20; ++step) {
                mostAtOnce = std::max(mostAtOnce, ++running);
                // Plain (unsynchronised) counters: a sanitizer would see two threads here.
                --running;
                time.sleep(std::chrono::microseconds(100 + 37 * i));
            }
        });
    }
    desktop.runUntilIdle();
    EXPECT_EQ(mostAtOnce, 1);
}

TEST(Scheduler, DestroyingTheDesktopFinishesWorkersAndDropsTheirPostsToMain) {
    auto finished = std::make_shared<bool>(false);
    auto posted = std::make_shared<bool>(false);
    {
        SimDesktop desktop;
        auto& time = desktop.services().time;
        time.runInBackground([&time, finished, posted] {
            time.sleep(1s);
            time.postToMain([posted] { *posted = true; });
            time.sleep(1s);
            *finished = true;
        });
        EXPECT_FALSE(desktop.runUntilIdle(500ms)) << "gives up at its limit";
        EXPECT_EQ(desktop.now(), 500ms);
        time.postToMain([posted] { *posted = true; });
    }
    EXPECT_TRUE(*finished);
    EXPECT_FALSE(*posted);
}

} // namespace
} // namespace quillo::sim
