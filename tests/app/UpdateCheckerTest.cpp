// The update check on the simulated desktop's network: which answers lead to which alert, and
// which to none at all.
#include "app/UpdateChecker.h"

#include "platform/sim/SimDesktop.h"
#include "support/EngineFixture.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace quillo::app {
namespace {

using namespace std::chrono_literals;

constexpr const char* versionUrl = "https://updates.example/quillo/version.json";
constexpr const char* downloadUrl = "https://quillo.example/download";

std::string document(const std::string& version, const std::string& rest = "") {
    return R"({"version":")" + version + R"(","url":")" + downloadUrl + "\"" + rest + "}";
}

std::string padded(std::size_t size) {
    return document("1.9") + std::string(size - document("1.9").size(), ' ');
}

std::string updateAlert(const std::string& informative) {
    return "Quillo update available | " + informative + " | [Download Update] [Later]";
}

const std::string upToDate = "Quillo is up to date | You're running the latest version. | [OK]";

struct Outcome {
    std::string name;
    std::optional<std::string> body;  // none: a transport error
    std::optional<std::string> alert; // none: nothing is shown
    std::size_t button = 0;           // the one pressed
    std::string runningVersion = "1.9";
    std::chrono::milliseconds latency = 20ms;
};

std::unique_ptr<UpdateChecker> makeChecker(sim::SimDesktop& desktop, std::string running) {
    auto services = desktop.services();
    return std::make_unique<UpdateChecker>(services.network, services.time, services.alerts,
                                           services.workspace, versionUrl, std::move(running));
}

class UpdateCheckerTest : public ::testing::TestWithParam<Outcome> {};

// An alert as one line, so that a mismatch shows every field; only Download Update opens a page.
TEST_P(UpdateCheckerTest, ShowsItsAlertOrNothing) {
    const Outcome& c = GetParam();
    sim::SimDesktop desktop;
    desktop.setHttpResponse(versionUrl, c.body, c.latency);
    if (c.button != 0) { // unasked, the alert answers with its first button
        desktop.queueAlertAnswer(c.button);
    }
    auto checker = makeChecker(desktop, c.runningVersion);
    checker->checkForUpdates();
    ASSERT_TRUE(desktop.runUntilIdle());

    std::vector<std::string> shown;
    for (const auto& alert : desktop.shownAlerts()) {
        shown.push_back(alert.messageText + " | " + alert.informativeText + " |");
        for (const auto& button : alert.buttons) {
            shown.back() += " [" + button + "]";
        }
    }
    EXPECT_EQ(shown, c.alert ? std::vector{*c.alert} : std::vector<std::string>{});
    EXPECT_EQ(desktop.requestedUrls(), std::vector<std::string>{versionUrl});
    const bool download = c.alert && c.alert->starts_with("Quillo update") && c.button == 0;
    EXPECT_EQ(desktop.openedUrls(),
              download ? std::vector<std::string>{downloadUrl} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckerTest,
    ::testing::Values(
        Outcome{"NewerWithNotesDownloaded", document("1.10", R"(,"notes":"Faster expansion.")"),
                updateAlert("Version 1.10 is available.\n\nRelease notes: Faster expansion.")},
        Outcome{"NewerLater", document("2.0"), updateAlert("Version 2.0 is available."), 1},
        Outcome{"NotesThatAreNoStringCountAsNone", document("2.0", R"(,"notes":5)"),
                updateAlert("Version 2.0 is available.")},
        Outcome{"Equal", document("1.9"), upToDate},
        Outcome{"OlderIsNoDowngradeOffer", document("1.8"), upToDate},
        Outcome{"NoRunningVersionIsOnePointZero", document("1.0"), upToDate, 0, ""},
        Outcome{"DeepValuesUnderOtherKeysAreHarmless",
                document("2.0", ",\"x\":" + std::string(100'000, '[') + std::string(100'000, ']')),
                updateAlert("Version 2.0 is available.")},
        Outcome{"AnAddressThatIsNoWebAddress", R"({"version":"2.0","url":"file:///etc/passwd"})",
                std::nullopt},
        Outcome{"UrlMissing", R"({"version":"2.0"})", std::nullopt},
        Outcome{"UrlNotAString", R"({"version":"2.0","url":["https://q.example"]})", std::nullopt},
        Outcome{"VersionMissing", R"({"url":"https://quillo.example/d"})", std::nullopt},
        Outcome{"MalformedJson", R"({"version":"2.0","url":)", std::nullopt},
        Outcome{"AnArrayInsteadOfAnObject", "[" + document("2.0") + "]", std::nullopt},
        Outcome{"NoNetwork", std::nullopt, std::nullopt},
        Outcome{"AnswerWithinFiveSeconds", document("1.9"), upToDate, 0, "1.9", 5s},
        Outcome{"AnswerAfterFiveSecondsIsATimeout", document("1.9"), std::nullopt, 0, "1.9",
                5001ms},
        Outcome{"OneMebibyte", padded(UpdateChecker::maxDocumentBytes), upToDate},
        Outcome{"OneByteMore", padded(UpdateChecker::maxDocumentBytes + 1), std::nullopt}),
    testing::CaseName());

TEST(UpdateCheckerGone, ACheckerGoneBeforeTheAnswerShowsNothing) {
    sim::SimDesktop desktop;
    desktop.setHttpResponse(versionUrl, document("2.0"), 2s);
    auto checker = makeChecker(desktop, "1.9");
    checker->checkForUpdates();
    desktop.runFor(1s);
    checker.reset();
    EXPECT_TRUE(desktop.runUntilIdle());
    EXPECT_TRUE(desktop.shownAlerts().empty());
}

TEST(UpdateCheckerAddress, TheEnvironmentOverridesTheBuiltAddress) {
    ::unsetenv("QUILLO_VERSION_URL");
    const std::string built = UpdateChecker::configuredVersionUrl();
    EXPECT_TRUE(built.starts_with("https://")) << built;
    ::setenv("QUILLO_VERSION_URL", "http://127.0.0.1:8080/version.json", 1);
    EXPECT_EQ(UpdateChecker::configuredVersionUrl(), "http://127.0.0.1:8080/version.json");
    ::setenv("QUILLO_VERSION_URL", "", 1);
    EXPECT_EQ(UpdateChecker::configuredVersionUrl(), built);
    ::unsetenv("QUILLO_VERSION_URL");
}

} // namespace
} // namespace quillo::app
