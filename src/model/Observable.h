// The change notification of the shared objects: windows and the engine subscribe to learn that
// a value really changed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace quillo::model {

class Observable {
  public:
    using Observer = std::function<void()>;

    // Ends the subscription when destroyed; safe to outlive the observed object.
    class Subscription {
      public:
        Subscription() = default;
        Subscription(Subscription&&) noexcept = default;
        Subscription& operator=(Subscription&& other) noexcept {
            reset();
            observers_ = std::move(other.observers_);
            key_ = other.key_;
            return *this;
        }
        ~Subscription() { reset(); }
        void reset() {
            if (auto observers = observers_.lock()) {
                observers->erase(key_);
            }
            observers_.reset();
        }

      private:
        friend class Observable;
        std::weak_ptr<std::map<std::uint64_t, Observer>> observers_;
        std::uint64_t key_ = 0;
    };

    Observable() = default;
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    [[nodiscard]] Subscription subscribe(Observer observer) {
        Subscription subscription;
        subscription.key_ = nextKey_++;
        subscription.observers_ = observers_;
        (*observers_)[subscription.key_] = std::move(observer);
        return subscription;
    }

  protected:
    ~Observable() = default;

    void notify() {
        // A copy, so that an observer may subscribe or unsubscribe while being told.
        const auto observers = *observers_;
        for (const auto& [key, observer] : observers) {
            if (observers_->contains(key)) {
                observer();
            }
        }
    }

  private:
    std::shared_ptr<std::map<std::uint64_t, Observer>> observers_ =
        std::make_shared<std::map<std::uint64_t, Observer>>();
    std::uint64_t nextKey_ = 1;
};

} // namespace quillo::model
