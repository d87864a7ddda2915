// Time and threads on the Qt main loop: tasks for the main thread are queued to it in order,
// timers are QTimers, and background work runs on one worker thread of its own, one task after
// the other (the replacer's operations never overlap anyway, and keeping them in one line keeps
// their synthetic events in order).
#pragma once

#include "platform/Platform.h"
#include "platform/linux/TaskReceiver.h"

#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quillo::linuxdesktop {

class QtTime final : public platform::Time {
  public:
    // Created on the main thread, after the application object.
    QtTime();
    // Stops, then waits for the task that is running.
    ~QtTime() override;

    void postToMain(Task task) override;
    std::unique_ptr<platform::Timer> startRepeating(std::chrono::milliseconds interval,
                                                    Task task) override;
    void runInBackground(Task task) override;
    void sleep(std::chrono::microseconds duration) override;
    platform::Clock::time_point now() const override { return platform::Clock::now(); }

    // The program is quitting: sleeps end at once, background tasks not yet started are
    // dropped, and so is whatever is posted to the main thread from now on.
    void stop();
    // Stops and waits for the task that is running to end.
    void finish();

  private:
    void work();

    TaskReceiver mainContext_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> queue_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace quillo::linuxdesktop
