// The windows' tests: QtTest classes on Qt's offscreen platform, each with a simulated desktop
// behind the shared objects, so that no display, keyboard or file of the user is touched.
#pragma once

#include "app/AppDelegate.h"
#include "platform/Platform.h"
#include "platform/sim/SimDesktop.h"
#include "ui/QuilloApp.h"

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

#define QUILLO_UI_TEST(Class)                                                                      \
    [[maybe_unused]] static const bool Class##Registered =                                         \
        (::quillo::uitest::registry().emplace_back(#Class,                                         \
                                                   [] { return std::make_unique<Class>(); }),      \
         true)

struct Launch {
    bool trusted = true;
    bool onboardingCompleted = false;
    bool expansionEnabled = true;
    // The keys come through the input method, and this is what the desktop says of the source.
    std::optional<platform::InputSource> inputSource;
};

// A simulated desktop with the application delegate on top, as the program starts it.
class Desktop {
  public:
    explicit Desktop(Launch launch = {});

    sim::SimDesktop& sim() { return *sim_; }
    app::AppDelegate& delegate() { return *delegate_; }
    model::SnippetStore& store() { return delegate_->snippetStore(); }
    model::AppSettings& settings() { return delegate_->settings(); }

  private:
    QTemporaryDir folder_;
    std::unique_ptr<sim::SimDesktop> sim_;
    std::unique_ptr<app::AppDelegate> delegate_;
};

// The whole program on a desktop: its windows and tray over the delegate, not yet launched.
struct App : Desktop {
    explicit App(Launch launch = {}, bool tray = true, QString moreAppsUrl = {});
    ui::QuilloApp app;
    int quits = 0;
};

} // namespace quillo::uitest
