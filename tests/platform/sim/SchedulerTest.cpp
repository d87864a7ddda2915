#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quillo::sim {
namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

// Entries "what@microseconds", so that a log says both the order and the instant.
void note(Log& log, const SimDesktop& desktop, const std::string& what) {
    log.push_back(what + "@" + std::to_string(desktop.now().count()));
}

TEST(Scheduler, AWorkerSleeping50msPostsItsEventAtExactly50ms) {
    SimDesktop desktop;
    auto services = desktop.services();
    services.time.runInBackground([&] {
        services.time.sleep(50ms);
        services.eventPoster.post(usKeyboard::keyDownFor(U'x'));
    });

    EXPECT_TRUE(desktop.runUntilIdle());

    ASSERT_EQ(desktop.postedEvents().size(), 1u);
    EXPECT_EQ(desktop.postedEvents()[0].at, 50000us);
    EXPECT_EQ(desktop.postedEvents()[0].event, usKeyboard::keyDownFor(U'x'));
    EXPECT_EQ(desktop.field().text(), "x");
    EXPECT_EQ(desktop.now(), 50ms);
}

TEST(Scheduler, WorkersInterleaveByWakeTime) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    time.runInBackground([&] {
        time.sleep(10ms);
        note(log, desktop, "a1");
        time.sleep(20ms);
        note(log, desktop, "a2");
    });
    time.runInBackground([&] {
        time.sleep(15ms);
        note(log, desktop, "b1");
        time.sleep(10ms);
        note(log, desktop, "b2");
    });

    desktop.runUntilIdle();

    EXPECT_EQ(log, (Log{"a1@10000", "b1@15000", "b2@25000", "a2@30000"}));
}

TEST(Scheduler, WorkersDueAtTheSameInstantRunInTheOrderTheyWentToSleep) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    // Started c, a, b; each wakes at 5 ms, but b lies down for it first and c last.
    for (const auto& sleeper : {std::pair{"c", 2ms}, std::pair{"a", 1ms}, std::pair{"b", 0ms}}) {
        time.runInBackground([&, name = sleeper.first, first = sleeper.second] {
            time.sleep(first);
            time.sleep(5ms - first);
            note(log, desktop, name);
        });
    }
    desktop.runUntilIdle();
    EXPECT_EQ(log, (Log{"b@5000", "a@5000", "c@5000"}));
}

TEST(Scheduler, MainTasksRunInPostingOrderBeforeAnyWorkerContinues) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    time.postToMain([&] {
        note(log, desktop, "m1");
        time.postToMain([&] { note(log, desktop, "m3"); });
    });
    time.postToMain([&] { note(log, desktop, "m2"); });
    time.runInBackground([&] {
        note(log, desktop, "w1");
        time.postToMain([&] { note(log, desktop, "m4"); });
        time.sleep(0ms);
        note(log, desktop, "w2");
    });
    EXPECT_TRUE(log.empty()) << "nothing runs until the test lets time run";

    desktop.runUntilIdle();

    EXPECT_EQ(log, (Log{"m1@0", "m2@0", "m3@0", "w1@0", "m4@0", "w2@0"}));
}

TEST(Scheduler, RunsEveryWorkerOnItsOwnThreadButNeverTwoAtOnce) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    const auto mainThread = std::this_thread::get_id();
    int running = 0;
    int mostAtOnce = 0;
    bool onMain = false;
    for (int i = 0; i < 8; ++i) {
        time.runInBackground([&, i] {
            onMain |= std::this_thread::get_id() == mainThread;
            for (int step = 0; step < 20; ++step) {
                ++running;
                mostAtOnce = std::max(mostAtOnce, running);
                // Plain (unsynchronised) counters: a sanitizer would see two threads here.
                --running;
                time.sleep(std::chrono::microseconds(100 + 37 * i));
            }
        });
    }
    desktop.runUntilIdle();
    EXPECT_FALSE(onMain);
    EXPECT_EQ(mostAtOnce, 1);
}

TEST(Scheduler, TheSameScenarioGivesTheSameRunEveryTime) {
    auto scenario = [] {
        SimDesktop desktop;
        auto services = desktop.services();
        Log log;
        for (int i = 0; i < 5; ++i) {
            services.time.runInBackground([&, i] {
                for (int step = 0; step < 4; ++step) {
                    services.time.sleep(std::chrono::milliseconds((i * 7 + step * 3) % 5));
                    services.time.postToMain([&, i, step] {
                        note(log, desktop, std::to_string(i) + "." + std::to_string(step));
                    });
                }
            });
        }
        desktop.runUntilIdle();
        return log;
    };
    const Log first = scenario();
    EXPECT_EQ(first.size(), 20u);
    for (int run = 0; run < 20; ++run) {
        ASSERT_EQ(scenario(), first) << "run " << run;
    }
}

TEST(Scheduler, AWorkerCanStartAnother) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    time.runInBackground([&] {
        time.sleep(3ms);
        time.runInBackground([&] {
            time.sleep(4ms);
            note(log, desktop, "inner");
        });
        time.sleep(1ms);
        note(log, desktop, "outer");
    });
    desktop.runUntilIdle();
    EXPECT_EQ(log, (Log{"outer@4000", "inner@7000"}));
}

TEST(Scheduler, TimersFireEveryIntervalUntilDestroyed) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    auto timer = time.startRepeating(100ms, [&] { note(log, desktop, "tick"); });

    desktop.runFor(350ms);
    EXPECT_EQ(log, (Log{"tick@100000", "tick@200000", "tick@300000"}));
    EXPECT_EQ(desktop.now(), 350ms);

    timer.reset();
    desktop.runFor(1s);
    EXPECT_EQ(log.size(), 3u);
}

TEST(Scheduler, ATimerCanStopItselfFromItsCallback) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    int ticks = 0;
    std::unique_ptr<platform::Timer> timer;
    timer = time.startRepeating(10ms, [&] {
        if (++ticks == 2) {
            timer.reset();
        }
    });
    desktop.runFor(100ms);
    EXPECT_EQ(ticks, 2);
}

TEST(Scheduler, TimersAndWorkersDueTogetherRunInTheOrderTheyWereScheduled) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    // The timer's second tick is scheduled when its first one fires, at 10 ms: after b went to
    // sleep for 20 ms, and before a did.
    auto timer = time.startRepeating(10ms, [&] { note(log, desktop, "tick"); });
    time.runInBackground([&] {
        time.sleep(10ms);
        note(log, desktop, "a");
        time.sleep(10ms);
        note(log, desktop, "a");
    });
    time.runInBackground([&] {
        time.sleep(20ms);
        note(log, desktop, "b");
    });
    desktop.runFor(20ms);
    EXPECT_EQ(log, (Log{"tick@10000", "a@10000", "b@20000", "tick@20000", "a@20000"}));
}

TEST(Scheduler, RunForStopsAtItsEndAndRunsWhatIsDueExactlyThen) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    Log log;
    time.runInBackground([&] {
        time.sleep(100ms);
        note(log, desktop, "woke");
    });

    desktop.runFor(60ms);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(desktop.now(), 60ms);

    desktop.runFor(40ms);
    EXPECT_EQ(log, (Log{"woke@100000"}));
    EXPECT_EQ(desktop.now(), 100ms);
}

TEST(Scheduler, RunUntilIdleDoesNotWaitForTimersButFiresThoseDueMeanwhile) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    int ticks = 0;
    auto timer = time.startRepeating(10ms, [&] { ++ticks; });

    EXPECT_TRUE(desktop.runUntilIdle());
    EXPECT_EQ(desktop.now(), 0ms) << "a timer alone is idle";
    EXPECT_EQ(ticks, 0);

    time.runInBackground([&] { time.sleep(35ms); });
    EXPECT_TRUE(desktop.runUntilIdle());
    EXPECT_EQ(desktop.now(), 35ms);
    EXPECT_EQ(ticks, 3);
}

TEST(Scheduler, RunUntilIdleGivesUpAtItsLimit) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    bool woke = false;
    time.runInBackground([&] {
        time.sleep(2h);
        woke = true;
    });
    EXPECT_FALSE(desktop.runUntilIdle(1h));
    EXPECT_EQ(desktop.now(), 1h);
    EXPECT_FALSE(woke);
    EXPECT_TRUE(desktop.runUntilIdle(1h));
    EXPECT_TRUE(woke);
}

TEST(Scheduler, TheClockIsTheStartPlusVirtualTime) {
    SimDesktop desktop;
    auto& time = desktop.services().time;
    const auto start = time.now();
    desktop.runFor(1500ms);
    EXPECT_EQ(time.now() - start, 1500ms);
    time.runInBackground([&] { time.sleep(250us); });
    desktop.runUntilIdle();
    EXPECT_EQ(time.now() - start, 1500250us);
}

TEST(Scheduler, DestroyingTheDesktopFinishesWorkersAndDropsTheirPostsToMain) {
    auto finished = std::make_shared<bool>(false);
    auto posted = std::make_shared<bool>(false);
    auto queuedBefore = std::make_shared<bool>(false);
    {
        SimDesktop desktop;
        auto& time = desktop.services().time;
        time.postToMain([queuedBefore] { *queuedBefore = true; });
        time.runInBackground([&time, finished, posted] {
            time.sleep(1s);
            time.postToMain([posted] { *posted = true; });
            time.sleep(1s);
            *finished = true;
        });
    }
    EXPECT_TRUE(*finished);
    EXPECT_FALSE(*posted);
    EXPECT_FALSE(*queuedBefore);
}

TEST(SchedulerDeathTest, SleepingOnTheMainThreadIsAnError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            SimDesktop desktop;
            desktop.services().time.sleep(1ms);
        },
        "only a background worker may sleep");
}

} // namespace
} // namespace quillo::sim
