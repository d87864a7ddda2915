// Tasks handed to the thread of a Qt object through that thread's event queue.
//
// This is where the program's threads hand work to each other without a lock of their own: Qt's
// queue carries it. A queued QMetaObject::invokeMethod would do, but the distribution's Qt is not
// built with ThreadSanitizer, which then cannot see Qt's locks and atomic reference counts: it
// takes the functor, filled on one thread, run on the other and freed by whichever lets go last,
// for a race. Here the event that carries the task belongs to the receiving thread alone once
// posted, and a ThreadSanitizer build is told of the hand-over, so that it goes on checking
// everything the tasks themselves touch.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

namespace quillo::linuxdesktop {

// Runs the tasks posted to it on the thread it lives in, in the order they were posted and
// after the events posted to it before them.
class TaskReceiver final : public QObject {
  public:
    using QObject::QObject;

    // May be called on any thread. A task still queued when the receiver is destroyed is
    // dropped without running.
    void post(std::function<void()> task);
    // Runs the work on the receiver's thread and waits for its end; on that thread it runs at
    // once. Once `stopped` is set (a quit, when that thread's loop may no longer answer) the
    // wait ends and work not yet begun never runs, since it may refer to the caller's locals.
    void runAndWait(const std::function<void()>& work, const std::atomic<bool>& stopped);

  protected:
    bool event(QEvent* received) override;
};

} // namespace quillo::linuxdesktop
