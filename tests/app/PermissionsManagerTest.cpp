// The permission monitor's watch on the simulated desktop: one look a second, and observers told
// only of a change. The grant itself is followed at start-up, in AppDelegateTest.
#include "app/PermissionsManager.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <memory>

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

TEST(PermissionsManagerTest, OneWatchLooksEverySecondAndTellsObserversOnlyOfAChange) {
    sim::SimDesktop desktop;
    desktop.setTrusted(false);
    CountingTrust trust{desktop.services().accessibilityTrust};
    auto manager = std::make_unique<PermissionsManager>(trust, desktop.services().time);
    int notified = 0;
    const auto subscription = manager->subscribe([&] { ++notified; });
    EXPECT_FALSE(manager->isAccessibilityGranted());
    EXPECT_FALSE(manager->isPolling());

    // Requesting again restarts the one watch, and its second with it.
    manager->requestAccess();
    desktop.runFor(600ms);
    manager->requestAccess();
    EXPECT_EQ(desktop.trustRequests(), 2);
    EXPECT_TRUE(manager->isPolling());
    notified = 0;
    const int looks = trust.looks;
    desktop.runFor(999ms);
    EXPECT_EQ(trust.looks, looks);
    desktop.runFor(4001ms);
    EXPECT_EQ(trust.looks, looks + 5);
    EXPECT_EQ(notified, 0);
    EXPECT_TRUE(manager->isPolling());

    // A manager gone while watching leaves no tick behind.
    manager.reset();
    desktop.setTrusted(true);
    desktop.runFor(3s);
    EXPECT_EQ(trust.looks, looks + 5);
}

// Where the keys come through the input method, no request is needed: the watch runs from the
// start until the source is added, and says so once.
TEST(PermissionsManagerTest, WatchesAMissingInputSourceFromTheStartUntilItIsAdded) {
    sim::SimDesktop desktop;
    desktop.setInputSource(platform::InputSource{.added = false});
    PermissionsManager manager(desktop.services().accessibilityTrust, desktop.services().time);
    int notified = 0;
    const auto subscription = manager.subscribe([&] { ++notified; });
    EXPECT_TRUE(manager.isInputSourceMissing());
    EXPECT_TRUE(manager.isPolling());
    desktop.runFor(3s);
    EXPECT_EQ(notified, 0);

    desktop.setInputSource(platform::InputSource{.added = true});
    desktop.runFor(1s);
    EXPECT_FALSE(manager.isInputSourceMissing());
    EXPECT_FALSE(manager.isPolling());
    EXPECT_EQ(notified, 2); // the source, then the watch's end
    EXPECT_EQ(desktop.trustRequests(), 0);
}

} // namespace
} // namespace quillo::app
