#include "platform/linux/QtTime.h"

#include <QCoreApplication>
#include <QTimer>

namespace quillo::linuxdesktop {

namespace {

class QtTimer final : public platform::Timer {
  public:
    QtTimer(std::chrono::milliseconds interval, platform::Time::Task task) {
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, [task = std::move(task)] { task(); });
        timer_.start();
    }

  private:
    QTimer timer_;
};

} // namespace

QtTime::QtTime() {
    if (QCoreApplication::instance() != nullptr) {
        mainContext_.moveToThread(QCoreApplication::instance()->thread());
    }
}

QtTime::~QtTime() {
    finish();
}

void QtTime::finish() {
    stop();
    if (worker_.joinable()) {
        worker_.join();
    }
}

void QtTime::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
    wake_.notify_all();
}

void QtTime::postToMain(Task task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
    }
    mainContext_.post(std::move(task));
}

std::unique_ptr<platform::Timer> QtTime::startRepeating(std::chrono::milliseconds interval,
                                                        Task task) {
    return std::make_unique<QtTimer>(interval, std::move(task));
}

void QtTime::runInBackground(Task task) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return;
    }
    queue_.push_back(std::move(task));
    if (!worker_.joinable()) {
        worker_ = std::thread([this] { work(); });
    }
    wake_.notify_all();
}

void QtTime::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            return;
        }
        Task task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

void QtTime::sleep(std::chrono::microseconds duration) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, duration, [this] { return stopping_; });
}

} // namespace quillo::linuxdesktop
