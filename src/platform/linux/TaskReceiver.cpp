#include "platform/linux/TaskReceiver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <utility>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLO_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QUILLO_THREAD_SANITIZER 1
#endif
#ifdef QUILLO_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace quillo::linuxdesktop {

namespace {

// Everything the posting thread did before the release is seen by the thread that acquires.
void release([[maybe_unused]] void* handOver) {
#ifdef QUILLO_THREAD_SANITIZER
    __tsan_release(handOver);
#endif
}

void acquire([[maybe_unused]] void* handOver) {
#ifdef QUILLO_THREAD_SANITIZER
    __tsan_acquire(handOver);
#endif
}

const auto taskEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TaskEvent final : public QEvent {
  public:
    explicit TaskEvent(std::function<void()> task) : QEvent(taskEventType), task_(std::move(task)) {
        release(this);
    }
    // Also when the event is dropped unrun, on whichever thread drops it.
    ~TaskEvent() override { acquire(this); }
    TaskEvent(const TaskEvent&) = delete;
    TaskEvent& operator=(const TaskEvent&) = delete;

    void run() {
        acquire(this);
        task_();
    }

  private:
    std::function<void()> task_;
};

} // namespace

void TaskReceiver::post(std::function<void()> task) {
    QCoreApplication::postEvent(this, new TaskEvent(std::move(task)));
}

void TaskReceiver::runAndWait(const std::function<void()>& work, const std::atomic<bool>& stopped) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    if (stopped) {
        return;
    }
    // A caller that stops waiting marks the call abandoned, under the lock that the work runs
    // under, so that it never runs afterwards.
    struct Call {
        std::mutex mutex;
        bool abandoned = false;
        std::promise<void> done;
    };
    auto call = std::make_shared<Call>();
    auto finished = call->done.get_future();
    post([work, call] {
        std::lock_guard lock(call->mutex);
        if (!call->abandoned) {
            work();
            call->done.set_value();
        }
    });
    // Waits in slices, so that a quit while the loop can no longer answer ends the wait.
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (stopped) {
            std::lock_guard lock(call->mutex);
            call->abandoned = true;
            return;
        }
    }
}

bool TaskReceiver::event(QEvent* received) {
    // Before its type is read: that too was written on the posting thread.
    acquire(received);
    if (received->type() == taskEventType) {
        static_cast<TaskEvent*>(received)->run();
        return true;
    }
    return QObject::event(received);
}

} // namespace quillo::linuxdesktop
