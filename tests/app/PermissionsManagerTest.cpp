// The permission monitor on the simulated desktop: its one-second watch for the grant, what its
// observers hear, and its end.
#include "app/PermissionsManager.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace quillo::app {
namespace {

using namespace std::chrono_literals;

// The desktop's trust, counting how often the program looks at it.
class CountingTrust final : public platform::AccessibilityTrust {
  public:
    explicit CountingTrust(platform::AccessibilityTrust& trust) : trust_(trust) {}
    bool isTrusted() const override {
        ++looks;
        return trust_.isTrusted();
    }
    void requestTrust() override { trust_.requestTrust(); }
    std::string untrustedReason() const override { return trust_.untrustedReason(); }

    mutable int looks = 0;

  private:
    platform::AccessibilityTrust& trust_;
};

// What an observer saw at one notification.
struct Seen {
    bool granted;
    bool polling;
    bool operator==(const Seen&) const = default;
};

class PermissionsManagerTest : public ::testing::Test {
  protected:
    std::unique_ptr<PermissionsManager> makeManager() {
        auto services = desktop.services();
        auto manager = std::make_unique<PermissionsManager>(trust, services.time);
        subscription = manager->subscribe([this, m = manager.get()] {
            seen.push_back({m->isAccessibilityGranted(), m->isPolling()});
        });
        return manager;
    }

    sim::SimDesktop desktop;
    CountingTrust trust{desktop.services().accessibilityTrust};
    std::vector<Seen> seen;
    model::Observable::Subscription subscription;
};

TEST_F(PermissionsManagerTest, StartsWithTheTrustStateAndNoWatch) {
    desktop.setTrusted(false);
    auto untrusted = makeManager();
    EXPECT_FALSE(untrusted->isAccessibilityGranted());
    EXPECT_FALSE(untrusted->isPolling());

    desktop.setTrusted(true);
    auto trusted = makeManager();
    EXPECT_TRUE(trusted->isAccessibilityGranted());
    EXPECT_FALSE(trusted->isPolling());
    EXPECT_EQ(desktop.trustRequests(), 0);
}

TEST_F(PermissionsManagerTest, RequestingAccessAsksTheSystemAndStartsTheWatch) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->requestAccess();
    EXPECT_EQ(desktop.trustRequests(), 1);
    EXPECT_TRUE(manager->isPolling());
    EXPECT_EQ(seen, (std::vector<Seen>{{false, true}}));
}

TEST_F(PermissionsManagerTest, TheFirstLookComesOneSecondAfterTheWatchStarts) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->startPolling();
    desktop.setTrusted(true);

    desktop.runFor(999ms);
    EXPECT_FALSE(manager->isAccessibilityGranted());
    desktop.runFor(1ms);
    EXPECT_TRUE(manager->isAccessibilityGranted());
}

TEST_F(PermissionsManagerTest, LooksThatFindNoChangeNotifyNobody) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->requestAccess();
    seen.clear();
    const int looksBefore = trust.looks;

    desktop.runFor(5s);

    EXPECT_EQ(trust.looks - looksBefore, 5);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(manager->isPolling());
}

TEST_F(PermissionsManagerTest, TheLookThatFindsTheGrantTellsObserversAndEndsTheWatch) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->requestAccess();
    desktop.runFor(2s);
    seen.clear();

    desktop.setTrusted(true);
    desktop.runFor(1s);
    EXPECT_EQ(seen, (std::vector<Seen>{{true, true}, {true, false}}));

    // Once granted nothing is watched: a withdrawal goes unnoticed.
    const int looks = trust.looks;
    desktop.setTrusted(false);
    desktop.runFor(5s);
    EXPECT_EQ(trust.looks, looks);
    EXPECT_TRUE(manager->isAccessibilityGranted());
}

TEST_F(PermissionsManagerTest, RequestingTwiceLeavesOneWatch) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->requestAccess();
    manager->requestAccess();
    const int looksBefore = trust.looks;

    desktop.runFor(3s);

    EXPECT_EQ(trust.looks - looksBefore, 3);
    EXPECT_EQ(desktop.trustRequests(), 2);
}

TEST_F(PermissionsManagerTest, RestartingTheWatchStartsItsSecondAgain) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->startPolling();
    desktop.runFor(600ms);
    manager->startPolling();
    desktop.setTrusted(true);

    desktop.runFor(999ms); // past where the first watch would have looked
    EXPECT_FALSE(manager->isAccessibilityGranted());
    desktop.runFor(1ms);
    EXPECT_TRUE(manager->isAccessibilityGranted());
}

TEST_F(PermissionsManagerTest, RequestingWhenAlreadyTrustedStopsAfterOneLook) {
    desktop.setTrusted(true);
    auto manager = makeManager();
    manager->requestAccess();
    EXPECT_TRUE(manager->isPolling());

    desktop.runFor(1s);

    EXPECT_FALSE(manager->isPolling());
    EXPECT_EQ(seen, (std::vector<Seen>{{true, true}, {true, false}}));
}

TEST_F(PermissionsManagerTest, TheApplicationsOwnPollTellsObserversOnlyOfAChange) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->setAccessibilityGranted(false);
    EXPECT_TRUE(seen.empty());
    manager->setAccessibilityGranted(true);
    EXPECT_EQ(seen, (std::vector<Seen>{{true, false}}));
}

TEST_F(PermissionsManagerTest, AManagerGoneWhileWatchingMakesTheNextTickDoNothing) {
    desktop.setTrusted(false);
    auto manager = makeManager();
    manager->requestAccess();
    desktop.runFor(1500ms);
    manager.reset();
    const int looks = trust.looks;

    desktop.setTrusted(true);
    desktop.runFor(3s);

    EXPECT_EQ(trust.looks, looks);
}

} // namespace
} // namespace quillo::app
