#include "platform/sim/VirtualScheduler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quillo::sim {

struct VirtualScheduler::Worker {
    VirtualScheduler* owner = nullptr;
    Task task;
    // A worker that is not running waits for this instant: its start, or the end of its sleep.
    Duration wake{0};
    std::uint64_t sequence = 0;
    bool finished = false;
    bool granted = false; // guarded by the owner's batonMutex_
    std::condition_variable wakeup;
    std::thread thread;
};

struct VirtualScheduler::TimerState {
    Duration interval{0};
    Task task;
    Duration due{0};
    std::uint64_t sequence = 0;
    bool cancelled = false;
};

namespace {

// The worker whose task this thread runs; none on the main thread.
thread_local void* currentWorker = nullptr;

class VirtualTimer final : public platform::Timer {
  public:
    // The flag shares ownership of the timer's state, so it outlives the scheduler if need be.
    explicit VirtualTimer(std::shared_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}
    ~VirtualTimer() override { *cancelled_ = true; }
    VirtualTimer(const VirtualTimer&) = delete;
    VirtualTimer& operator=(const VirtualTimer&) = delete;

  private:
    std::shared_ptr<bool> cancelled_;
};

[[noreturn]] void fail(const char* message) {
    std::fprintf(stderr, "SimDesktop: %s\n", message);
    std::fflush(stderr);
    std::abort();
}

} // namespace

VirtualScheduler::VirtualScheduler() : epoch_(platform::Clock::now()) {}

VirtualScheduler::~VirtualScheduler() {
    finish();
}

void VirtualScheduler::requireMainThread(const char* operation) const {
    if (currentWorker != nullptr) {
        std::fprintf(stderr, "SimDesktop: %s called on a background worker\n", operation);
        std::fflush(stderr);
        std::abort();
    }
}

void VirtualScheduler::postToMain(Task task) {
    if (finishing_) {
        return;
    }
    mainQueue_.push_back(std::move(task));
}

std::unique_ptr<platform::Timer>
VirtualScheduler::startRepeating(std::chrono::milliseconds interval, Task task) {
    auto state = std::make_shared<TimerState>();
    // A zero interval would fire forever at one instant and never let the clock move.
    state->interval = std::max<Duration>(interval, Duration(1));
    state->task = std::move(task);
    state->due = elapsed_ + state->interval;
    state->sequence = nextSequence_++;
    timers_.push_back(state);
    return std::make_unique<VirtualTimer>(std::shared_ptr<bool>(state, &state->cancelled));
}

void VirtualScheduler::runInBackground(Task task) {
    // Accepted even while the desktop winds down: a worker that hands work on to another must
    // not leave it half done.
    auto worker = std::make_unique<Worker>();
    worker->owner = this;
    worker->task = std::move(task);
    worker->wake = elapsed_;
    worker->sequence = nextSequence_++;
    Worker& ref = *worker;
    workers_.push_back(std::move(worker));
    ref.thread = std::thread([this, &ref] { workerMain(ref); });
}

void VirtualScheduler::workerMain(Worker& worker) {
    currentWorker = &worker;
    {
        std::unique_lock lock(batonMutex_);
        worker.wakeup.wait(lock, [&] { return worker.granted; });
    }
    worker.task();
    // The task's captures die while this worker still holds the baton.
    worker.task = nullptr;
    std::unique_lock lock(batonMutex_);
    worker.finished = true;
    worker.granted = false;
    mainHasBaton_ = true;
    mainWakeup_.notify_one();
}

void VirtualScheduler::sleep(std::chrono::microseconds duration) {
    auto* worker = static_cast<Worker*>(currentWorker);
    if (worker == nullptr) {
        fail("Time::sleep called on the main thread; only a background worker may sleep "
             "(a sleeping main thread would stop the virtual clock for good)");
    }
    if (worker->owner != this) {
        fail("Time::sleep called on a worker of another simulated desktop");
    }
    worker->wake = elapsed_ + std::max(duration, Duration(0));
    worker->sequence = nextSequence_++;
    std::unique_lock lock(batonMutex_);
    worker->granted = false;
    mainHasBaton_ = true;
    mainWakeup_.notify_one();
    worker->wakeup.wait(lock, [&] { return worker->granted; });
}

platform::Clock::time_point VirtualScheduler::now() const {
    return epoch_ + std::chrono::duration_cast<platform::Clock::duration>(elapsed_);
}

void VirtualScheduler::scheduleAt(Duration at, Task task) {
    if (finishing_) {
        return;
    }
    oneShots_.push_back(OneShot{std::max(at, elapsed_), nextSequence_++, std::move(task)});
}

void VirtualScheduler::drainMainQueue() {
    while (!mainQueue_.empty()) {
        Task task = std::move(mainQueue_.front());
        mainQueue_.pop_front();
        task();
    }
}

std::optional<VirtualScheduler::Due> VirtualScheduler::nextDue(bool timers, bool workers,
                                                               bool oneShots) {
    std::optional<Due> best;
    auto consider = [&best](Due candidate) {
        if (!best || candidate.at < best->at ||
            (candidate.at == best->at && candidate.sequence < best->sequence)) {
            best = std::move(candidate);
        }
    };
    std::erase_if(timers_, [](const auto& timer) { return timer->cancelled; });
    if (timers) {
        for (const auto& timer : timers_) {
            consider(Due{timer->due, timer->sequence, nullptr, timer, 0});
        }
    }
    if (workers) {
        for (const auto& worker : workers_) {
            consider(Due{worker->wake, worker->sequence, worker.get(), nullptr, 0});
        }
    }
    if (oneShots) {
        for (std::size_t i = 0; i < oneShots_.size(); ++i) {
            consider(Due{oneShots_[i].at, oneShots_[i].sequence, nullptr, nullptr, i});
        }
    }
    return best;
}

void VirtualScheduler::run(const Due& due) {
    elapsed_ = std::max(elapsed_, due.at);
    if (due.worker != nullptr) {
        grantBaton(*due.worker);
    } else if (due.timer) {
        // Re-armed before it runs, so that a callback that takes long still keeps the rhythm;
        // the local copy keeps the task alive if the callback destroys its own timer.
        std::shared_ptr<TimerState> timer = due.timer;
        timer->due += timer->interval;
        timer->sequence = nextSequence_++;
        timer->task();
    } else {
        Task task = std::move(oneShots_[due.oneShot].task);
        oneShots_.erase(oneShots_.begin() + static_cast<std::ptrdiff_t>(due.oneShot));
        task();
    }
}

void VirtualScheduler::grantBaton(Worker& worker) {
    {
        std::unique_lock lock(batonMutex_);
        worker.granted = true;
        mainHasBaton_ = false;
        worker.wakeup.notify_one();
        mainWakeup_.wait(lock, [this] { return mainHasBaton_; });
    }
    if (worker.finished) {
        worker.thread.join();
        std::erase_if(workers_, [&worker](const auto& w) { return w.get() == &worker; });
    }
}

void VirtualScheduler::runFor(Duration duration) {
    requireMainThread("SimDesktop::runFor");
    const Duration end = elapsed_ + std::max(duration, Duration(0));
    for (;;) {
        drainMainQueue();
        std::optional<Due> next = nextDue(true, true, true);
        if (!next || next->at > end) {
            break;
        }
        run(*next);
    }
    elapsed_ = std::max(elapsed_, end);
}

bool VirtualScheduler::runUntilIdle(Duration limit) {
    requireMainThread("SimDesktop::runUntilIdle");
    const Duration end = elapsed_ + std::max(limit, Duration(0));
    for (;;) {
        drainMainQueue();
        // Timers alone never keep the desktop busy, but those that fall due while other work
        // waits fire in their turn.
        if (!nextDue(false, true, true)) {
            return true;
        }
        std::optional<Due> next = nextDue(true, true, true);
        if (next->at > end) {
            elapsed_ = std::max(elapsed_, end);
            return false;
        }
        run(*next);
    }
}

void VirtualScheduler::finish() {
    requireMainThread("SimDesktop's destructor");
    finishing_ = true;
    mainQueue_.clear();
    oneShots_.clear();
    for (const auto& timer : timers_) {
        timer->cancelled = true;
    }
    timers_.clear();
    while (std::optional<Due> next = nextDue(false, true, false)) {
        run(*next);
    }
}

} // namespace quillo::sim
