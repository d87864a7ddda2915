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

TEST_F(AppDelegateTest, SharesOneStoreOneSettingsAndOneMonitor) {
    launch(true);
    EXPECT_EQ(delegate->snippetStore().snippets().size(), 3u); // the first run's examples
    EXPECT_TRUE(delegate->permissionsManager().isAccessibilityGranted());
    EXPECT_TRUE(delegate->settings().isExpansionEnabled());
}

TEST_F(AppDelegateTest, WithAccessTheEngineStartsAtLaunchAndNothingWaits) {
    launch(true);
    ASSERT_NE(delegate->engine(), nullptr);
    EXPECT_FALSE(delegate->isWaitingForAccess());
    EXPECT_EQ(desktop.trustRequests(), 0);
    EXPECT_TRUE(expands());
}

TEST_F(AppDelegateTest, WithoutAccessNothingIsAskedAndTheEngineWaits) {
    launch(false);
    EXPECT_EQ(delegate->engine(), nullptr);
    EXPECT_TRUE(delegate->isWaitingForAccess());
    EXPECT_EQ(desktop.trustRequests(), 0);
    EXPECT_FALSE(delegate->permissionsManager().isPolling());
    desktop.runFor(10s);
    EXPECT_EQ(delegate->engine(), nullptr);
    EXPECT_FALSE(expands());
}

TEST_F(AppDelegateTest, TheFirstTickAfterTheGrantStartsTheEngineAndEndsTheWait) {
    launch(false);
    desktop.runFor(2300ms);
    desktop.setTrusted(true);
    desktop.runFor(699ms);
    EXPECT_EQ(delegate->engine(), nullptr);
    desktop.runFor(1ms); // the tick at 3 s
    ASSERT_NE(delegate->engine(), nullptr);
    EXPECT_FALSE(delegate->isWaitingForAccess());
    EXPECT_TRUE(delegate->permissionsManager().isAccessibilityGranted());
    EXPECT_TRUE(expands());
}

TEST_F(AppDelegateTest, PromptingWhileWaitingAsksAndKeepsTheRunningPoll) {
    launch(false);
    desktop.runFor(500ms);
    delegate->startEngine(true);
    EXPECT_EQ(desktop.trustRequests(), 1);
    EXPECT_TRUE(delegate->permissionsManager().isPolling());
    // A fresh poll would first look at 1.5 s; the one started at launch looks at 1 s.
    desktop.setTrusted(true);
    desktop.runFor(500ms);
    EXPECT_NE(delegate->engine(), nullptr);
    EXPECT_FALSE(delegate->isWaitingForAccess());
}

TEST_F(AppDelegateTest, StartingAgainOnceTheEngineRunsDoesNothing) {
    launch(true);
    const auto* engine = delegate->engine();
    delegate->startEngine(true);
    delegate->startEngine(false);
    EXPECT_EQ(delegate->engine(), engine);
    EXPECT_EQ(desktop.trustRequests(), 0);
    EXPECT_FALSE(delegate->isWaitingForAccess());
}

TEST_F(AppDelegateTest, ACompletedOnboardingClosesItsWindowOnTheNextTurn) {
    launch(true, true);
    EXPECT_EQ(onboardingClosed, 0);
    desktop.runUntilIdle();
    EXPECT_EQ(onboardingClosed, 1);
}

TEST_F(AppDelegateTest, AnUnfinishedOnboardingLeavesItsWindowOpen) {
    launch(false, false);
    desktop.runFor(5s);
    EXPECT_EQ(onboardingClosed, 0);
}

TEST_F(AppDelegateTest, TheClosingDoesNothingOnceTheDelegateIsGone) {
    launch(true, true);
    delegate.reset();
    desktop.runUntilIdle();
    EXPECT_EQ(onboardingClosed, 0);
}

} // namespace
} // namespace quillo::app
