// The simulated desktop's time: a virtual clock, the main queue, repeating timers and background
// workers that take turns with the main thread.
//
// The thread that runs the scheduler (the test's own) is the main thread. Each background task
// gets a real thread, but a worker runs only while the main thread hands it the baton and gives
// it back at every sleep, so exactly one thread runs at any moment and a run is the same every
// time. Nothing waits for real: the clock jumps to the next instant at which something is due.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillo::sim {

class VirtualScheduler final : public platform::Time {
  public:
    using Duration = std::chrono::microseconds; // virtual time since the scheduler was made

    VirtualScheduler();
    // Finishes the background work that is still running (see finish()).
    ~VirtualScheduler() override;
    VirtualScheduler(const VirtualScheduler&) = delete;
    VirtualScheduler& operator=(const VirtualScheduler&) = delete;

    // platform::Time
    void postToMain(Task task) override;
    std::unique_ptr<platform::Timer> startRepeating(std::chrono::milliseconds interval,
                                                    Task task) override;
    void runInBackground(Task task) override;
    void sleep(std::chrono::microseconds duration) override;
    platform::Clock::time_point now() const override;

    Duration elapsed() const { return elapsed_; }

    // Runs `task` once on the main thread at the virtual instant `at` (or now, if that has
    // passed). Unlike a timer it keeps runUntilIdle() busy until it has run.
    void scheduleAt(Duration at, Task task);

    // Runs everything due within `duration` and leaves the clock at its end.
    void runFor(Duration duration);
    // Runs until nothing but repeating timers is left; false when `limit` passed first, with the
    // clock at the limit.
    bool runUntilIdle(Duration limit);
    // Drops the main queue, the timers and the scheduled tasks, then lets every worker run to
    // its end (the clock moving as they sleep) and joins them. Posts to the main thread are
    // dropped from now on.
    void finish();

  private:
    struct Worker;
    struct TimerState;
    struct OneShot {
        Duration at;
        std::uint64_t sequence;
        Task task;
    };
    // The next thing to run: a worker to wake, a timer to fire or a one-shot task.
    struct Due {
        Duration at;
        std::uint64_t sequence;
        Worker* worker = nullptr;
        std::shared_ptr<TimerState> timer;
        std::size_t oneShot = 0;
    };

    void requireMainThread(const char* operation) const;
    void drainMainQueue();
    std::optional<Due> nextDue(bool timers, bool workers, bool oneShots);
    void run(const Due& due);
    void grantBaton(Worker& worker);
    void workerMain(Worker& worker);

    const platform::Clock::time_point epoch_;
    Duration elapsed_{0};
    std::uint64_t nextSequence_ = 0;
    bool finishing_ = false;

    std::deque<Task> mainQueue_;
    std::vector<std::shared_ptr<TimerState>> timers_;
    std::vector<OneShot> oneShots_;
    std::vector<std::unique_ptr<Worker>> workers_;

    // The baton: who may run is decided under this mutex.
    std::mutex batonMutex_;
    std::condition_variable mainWakeup_;
    bool mainHasBaton_ = true;
};

} // namespace quillo::sim
