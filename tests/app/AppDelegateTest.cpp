// Start-up on the simulated desktop: the shared objects, the engine started at once or after the
// one-second wait for access, and the onboarding window closed when onboarding is done.
#include "app/AppDelegate.h"

#include "platform/sim/SimDesktop.h"
#include "support/EngineFixture.h"

#include <gtest/gtest.h>
#include <memory>

namespace quillo::app {
namespace {

using namespace std::chrono_literals;

class AppDelegateTest : public ::testing::Test {
  protected:
    void launch(bool trusted, bool onboardingCompleted = false) {
        desktop.setTrusted(trusted);
        desktop.services().preferences.setBool(model::AppSettings::hasCompletedOnboardingKey,
                                               onboardingCompleted);
        delegate = std::make_unique<AppDelegate>(desktop.services());
        delegate->setCloseOnboardingWindow([this] { ++onboardingClosed; });
        delegate->applicationDidFinishLaunching();
    }

    // A key press that only a running engine turns into an expansion.
    bool expands() {
        desktop.field().reset("");
        desktop.typeText("omw ");
        desktop.runUntilIdle(1min);
        return desktop.field().text() != "omw ";
    }

    testing::TemporaryFolder folder;
    sim::SimDesktop desktop{folder.path()};
    std::unique_ptr<AppDelegate> delegate;
    int onboardingClosed = 0;
};

TEST_F(AppDelegateTest, WithAccessTheEngineStartsAtLaunchOnceAndNothingIsAsked) {
    launch(true);
    const auto* engine = delegate->engine();
    ASSERT_NE(engine, nullptr);
    delegate->startEngine(true);
    delegate->startEngine(false);
    EXPECT_EQ(delegate->engine(), engine);
    EXPECT_EQ(desktop.trustRequests(), 0);
    EXPECT_FALSE(delegate->isWaitingForAccess());
    EXPECT_TRUE(expands());
}

// Access granted later in the system: the delegate's own wait, a look each second from launch,
// starts the engine; the monitor's poll, started by the prompt, stops at its next look.
TEST_F(AppDelegateTest, TheFirstLookAfterTheGrantStartsTheEngineAndEndsThePolls) {
    launch(false);
    EXPECT_TRUE(delegate->isWaitingForAccess());
    EXPECT_FALSE(delegate->permissionsManager().isPolling());
    desktop.runFor(2500ms);
    EXPECT_EQ(delegate->engine(), nullptr);
    EXPECT_EQ(desktop.trustRequests(), 0);

    delegate->startEngine(true);
    EXPECT_EQ(desktop.trustRequests(), 1);
    EXPECT_TRUE(delegate->permissionsManager().isPolling());
    desktop.setTrusted(true);
    desktop.runFor(499ms);
    EXPECT_EQ(delegate->engine(), nullptr);
    desktop.runFor(1ms); // the wait's look at 3 s
    ASSERT_NE(delegate->engine(), nullptr);
    EXPECT_FALSE(delegate->isWaitingForAccess());
    EXPECT_TRUE(delegate->permissionsManager().isAccessibilityGranted());
    desktop.runFor(500ms); // the poll's look at 3.5 s
    EXPECT_FALSE(delegate->permissionsManager().isPolling());
    EXPECT_TRUE(expands());
}

// Closed on the next turn, and only by a delegate that still exists.
TEST_F(AppDelegateTest, ACompletedOnboardingClosesItsWindowOnTheNextTurn) {
    launch(true, true);
    launch(true, true);
    EXPECT_EQ(onboardingClosed, 0);
    desktop.runUntilIdle();
    EXPECT_EQ(onboardingClosed, 1);
}

// Ctrl+Alt+Space unless a snippet has it, then whatever the user chooses; given to the engine at
// its start even when the action was set before.
TEST_F(AppDelegateTest, TheSearchWindowHotkeyFollowsTheSettingsAndYieldsToASnippet) {
    namespace flag = platform::flag;
    namespace key = platform::key;
    int opened = 0;
    delegate = std::make_unique<AppDelegate>(desktop.services());
    delegate->setSearchWindowAction([&opened] { ++opened; });
    delegate->applicationDidFinishLaunching();
    const auto press = [this](platform::KeyCode code, platform::EventFlags flags) {
        return desktop.press(sim::usKeyboard::keyDownFor(code, flags));
    };

    EXPECT_TRUE(press(key::space, flag::control | flag::option));
    EXPECT_EQ(opened, 1);

    auto owner = model::Snippet::make();
    owner.triggerMode = model::Snippet::TriggerMode::hotkey;
    owner.hotkeyKeyCode = key::space;
    owner.hotkeyModifiers = flag::control | flag::option;
    owner.replacement = "mine";
    delegate->snippetStore().add(owner);
    desktop.field().reset("");
    EXPECT_TRUE(press(key::space, flag::control | flag::option));
    desktop.runUntilIdle(1min);
    EXPECT_EQ(desktop.field().text(), "mine");
    EXPECT_EQ(opened, 1);

    delegate->settings().setSearchWindowHotkey(
        platform::Hotkey{key::m, flag::shift | flag::command});
    EXPECT_TRUE(press(key::m, flag::shift | flag::command));
    EXPECT_EQ(opened, 2);
    delegate->settings().setSearchWindowHotkey(std::nullopt);
    EXPECT_FALSE(press(key::m, flag::shift | flag::command));
    EXPECT_EQ(opened, 2);
}

} // namespace
} // namespace quillo::app
