#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <thread>

namespace quillo::sim {
namespace {

using namespace std::chrono_literals;

TEST(Preferences, RemembersBooleansAndCountsWrites) {
    SimDesktop desktop;
    auto& preferences = desktop.services().preferences;
    EXPECT_EQ(preferences.boolValue("sound"), std::nullopt);
    preferences.setBool("sound", false);
    preferences.setBool("sound", true);
    EXPECT_EQ(preferences.boolValue("sound"), true);
    EXPECT_EQ(desktop.preference("sound"), true);
    EXPECT_EQ(desktop.preferenceWrites(), 2);
}

TEST(Preferences, AValueOfAnotherTypeIsNoBoolean) {
    SimDesktop desktop;
    auto& preferences = desktop.services().preferences;
    desktop.setPreferenceString("sound", "yes");
    EXPECT_EQ(preferences.boolValue("sound"), std::nullopt);
    EXPECT_EQ(desktop.preferenceWrites(), 0) << "planting is not the program writing";
    preferences.setBool("sound", true);
    EXPECT_EQ(preferences.boolValue("sound"), true);
}

TEST(LoginItem, FollowsTheProgramUnlessTheSystemRefuses) {
    SimDesktop desktop;
    auto& item = desktop.services().loginItem;
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(desktop.loginItemEnabled());

    desktop.setLoginItemError("Operation not permitted");
    EXPECT_EQ(item.setEnabled(false), "Operation not permitted");
    EXPECT_TRUE(item.isEnabled());

    desktop.setLoginItemError(std::nullopt);
    desktop.setLoginItemEnabled(false);
    EXPECT_FALSE(item.isEnabled());
}

TEST(Alerts, AreRecordedAndAnsweredInTurnThenWithTheDefault) {
    SimDesktop desktop;
    auto& alerts = desktop.services().alerts;
    desktop.queueAlertAnswer(1);
    desktop.queueAlertAnswer(2);
    const platform::Alert alert{"Delete?", "It cannot be undone.", {"Cancel", "Delete", "Both"}};
    EXPECT_EQ(alerts.run(alert), 1u);
    EXPECT_EQ(alerts.run(alert), 2u);
    EXPECT_EQ(alerts.run(alert), 0u);
    ASSERT_EQ(desktop.shownAlerts().size(), 3u);
    EXPECT_EQ(desktop.shownAlerts()[0].messageText, "Delete?");
    EXPECT_EQ(desktop.shownAlerts()[0].buttons.size(), 3u);
}

TEST(AccessibilityTrust, ExplainsOnlyWhenNotTrusted) {
    SimDesktop desktop;
    auto& trust = desktop.services().accessibilityTrust;
    EXPECT_TRUE(trust.isTrusted());
    EXPECT_EQ(trust.untrustedReason(), "");
    desktop.setTrusted(false);
    EXPECT_FALSE(trust.isTrusted());
    EXPECT_NE(trust.untrustedReason(), "");
    trust.requestTrust();
    trust.requestTrust();
    EXPECT_EQ(desktop.trustRequests(), 2);
}

TEST(Desktop, RecordsSoundsAndUrlsAndAnswersWhoIsFrontmost) {
    SimDesktop desktop;
    auto services = desktop.services();
    services.sound.play("Pop");
    services.workspace.openUrl("https://example.org/help");
    EXPECT_EQ(desktop.playedSounds(), std::vector<std::string>{"Pop"});
    EXPECT_EQ(desktop.openedUrls(), std::vector<std::string>{"https://example.org/help"});

    EXPECT_EQ(services.workspace.frontmostApplicationId(), std::nullopt);
    desktop.setFrontmostApplication("org.gnome.TextEditor");
    EXPECT_EQ(services.workspace.frontmostApplicationId(), "org.gnome.TextEditor");

    EXPECT_FALSE(services.secureInput.isSecureInputEnabled());
    desktop.setSecureInput(true);
    EXPECT_TRUE(services.secureInput.isSecureInputEnabled());
}

// --- Network ------------------------------------------------------------------------------------

struct Answer {
    std::optional<std::string> body;
    VirtualTime at;
    bool onMainThread;
};

struct NetworkCase {
    const char* name;
    bool answered;                   // whether the test sets a response
    std::optional<std::string> body; // the response set
    VirtualTime latency;
    std::chrono::milliseconds timeout;
    std::size_t maxBytes;
    std::optional<std::string> expectedBody;
    VirtualTime expectedAt;
};

void PrintTo(const NetworkCase& c, std::ostream* os) {
    *os << c.name;
}

class NetworkAnswers : public testing::TestWithParam<NetworkCase> {};

TEST_P(NetworkAnswers, ComeOnAWorkerAfterTheLatencyOrTheTimeout) {
    const auto& c = GetParam();
    SimDesktop desktop;
    auto services = desktop.services();
    const std::string url = "https://example.org/latest.json";
    if (c.answered) {
        desktop.setHttpResponse(url, c.body, c.latency);
    }
    desktop.setHttpResponse("https://example.org/other", "other", 1ms);
    const auto mainThread = std::this_thread::get_id();
    std::vector<Answer> answers;

    services.network.get(url, c.timeout, c.maxBytes, [&](platform::HttpResponse response) {
        std::optional<std::string> body;
        if (response.body) {
            body = std::string(response.body->begin(), response.body->end());
        }
        answers.push_back({body, desktop.now(), std::this_thread::get_id() == mainThread});
    });
    EXPECT_TRUE(answers.empty()) << "the completion never runs inside get()";
    desktop.runUntilIdle();

    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].body, c.expectedBody);
    EXPECT_EQ(answers[0].at, c.expectedAt);
    EXPECT_FALSE(answers[0].onMainThread);
    EXPECT_EQ(desktop.requestedUrls(), std::vector{url});
}

INSTANTIATE_TEST_SUITE_P(
    Network, NetworkAnswers,
    testing::Values(
        NetworkCase{"answered", true, "{}", 20ms, 5000ms, 1024, "{}", 20ms},
        NetworkCase{"bodyOfExactlyMaxBytes", true, "12345", 1ms, 5000ms, 5, "12345", 1ms},
        NetworkCase{"bodyOverMaxBytesFails", true, "123456", 1ms, 5000ms, 5, std::nullopt, 1ms},
        NetworkCase{"transportError", true, std::nullopt, 30ms, 5000ms, 1024, std::nullopt, 30ms},
        NetworkCase{"slowerThanTheTimeout", true, "late", 6s, 5000ms, 1024, std::nullopt, 5s},
        NetworkCase{"noAnswerWaitsForTheTimeout", false, std::nullopt, 0ms, 3000ms, 1024,
                    std::nullopt, 3s}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace quillo::sim
