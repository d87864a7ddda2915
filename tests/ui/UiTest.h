// The windows' tests: QtTest classes on Qt's offscreen platform, each with a simulated desktop
// behind the shared objects, so that no display, keyboard or file of the user is touched.
#pragma once

#include "app/AppDelegate.h"
#include "platform/Platform.h"
#include "platform/sim/SimDesktop.h"

#include <QObject>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillo::uitest {

// Test classes register themselves; the test program runs one by name, or all.
using Factory = std::function<std::unique_ptr<QObject>()>;
std::vector<std::pair<const char*, Factory>>& registry();

template <typename T>
struct Registration {
    explicit Registration(const char* name) {
        registry().emplace_back(name, [] { return std::make_unique<T>(); });
    }
};

#define QUILLO_UI_TEST(Class)                                                                      \
    static const ::quillo::uitest::Registration<Class> Class##Registered(#Class)

// Records every call to the login item and passes it on.
class CountingLoginItem final : public platform::LoginItem {
  public:
    explicit CountingLoginItem(platform::LoginItem& inner) : inner_(inner) {}
    bool isEnabled() const override { return inner_.isEnabled(); }
    std::optional<std::string> setEnabled(bool enabled) override {
        calls.push_back(enabled);
        return inner_.setEnabled(enabled);
    }
    std::vector<bool> calls;

  private:
    platform::LoginItem& inner_;
};

struct Launch {
    bool trusted = true;
    bool onboardingCompleted = false;
    bool expansionEnabled = true;
};

// A simulated desktop with the application delegate on top, as the program starts it.
class Desktop {
  public:
    explicit Desktop(Launch launch = {});
    ~Desktop();

    sim::SimDesktop& sim() { return *sim_; }
    app::AppDelegate& delegate() { return *delegate_; }
    CountingLoginItem& loginItem() { return *loginItem_; }

  private:
    QTemporaryDir folder_;
    std::unique_ptr<sim::SimDesktop> sim_;
    std::unique_ptr<CountingLoginItem> loginItem_;
    std::unique_ptr<app::AppDelegate> delegate_;
};

} // namespace quillo::uitest
