// The update check on the simulated desktop's network: which answers lead to which alert, and
// which to none at all.
#include "app/UpdateChecker.h"
#include "platform/sim/SimDesktop.h"
#include "support/EngineFixture.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillo::app {
namespace {

using namespace std::chrono_literals;

constexpr const char* versionUrl = "https://updates.example/quillo/version.json";
constexpr const char* downloadUrl = "https://quillo.example/download";

// An alert as one line, so that a mismatch shows every field.
std::string describe(const platform::Alert& alert) {
    std::string text = alert.messageText + " | " + alert.informativeText + " |";
    for (const auto& button : alert.buttons) {
        text += " [" + button + "]";
    }
    return text;
}

std::string updateAlert(const std::string& informative) {
    return "Quillo update available | " + informative + " | [Download Update] [Later]";
}

const std::string upToDateAlert =
    "Quillo is up to date | You're running the latest version. | [OK]";

std::string document(const std::string& version, const std::string& url = downloadUrl) {
    return R"({"version":")" + version + R"(","url":")" + url + R"("})";
}

class UpdateCheckerTest : public ::testing::Test {
  protected:
    std::unique_ptr<UpdateChecker> makeChecker(std::string runningVersion = "1.9") {
        auto services = desktop.services();
        return std::make_unique<UpdateChecker>(services.network, services.time, services.alerts,
                                               services.workspace, versionUrl,
                                               std::move(runningVersion));
    }

    std::vector<std::string> shownAlerts() const {
        std::vector<std::string> shown;
        for (const auto& alert : desktop.shownAlerts()) {
            shown.push_back(describe(alert));
        }
        return shown;
    }

    sim::SimDesktop desktop;
};

struct AnswerCase {
    std::string name;
    std::optional<std::string> body; // none: a transport error
    std::string runningVersion;
    std::optional<std::string> alert; // none: nothing is shown
};

class UpdateCheckerAnswers : public UpdateCheckerTest,
                             public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(UpdateCheckerAnswers, ShowTheirAlertOrNothing) {
    const AnswerCase& c = GetParam();
    desktop.setHttpResponse(versionUrl, c.body);
    auto checker = makeChecker(c.runningVersion);

    checker->checkForUpdates();
    ASSERT_TRUE(desktop.runUntilIdle());

    std::vector<std::string> expected;
    if (c.alert) {
        expected.push_back(*c.alert);
    }
    EXPECT_EQ(shownAlerts(), expected);
}

const std::string deeplyNested = std::string(100'000, '[') + std::string(100'000, ']');

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckerAnswers,
    ::testing::Values(
        AnswerCase{"NewerWithNotes",
                   R"({"version":"1.10","url":"https://quillo.example/download",)"
                   R"("notes":"Faster expansion."})",
                   "1.9",
                   updateAlert("Version 1.10 is available.\n\nRelease notes: Faster expansion.")},
        AnswerCase{"NewerWithoutNotes", document("2.0"), "1.9",
                   updateAlert("Version 2.0 is available.")},
        AnswerCase{"NotesThatAreNoStringCountAsNone",
                   R"({"version":"2.0","url":"https://quillo.example/download","notes":5})", "1.9",
                   updateAlert("Version 2.0 is available.")},
        AnswerCase{"EmptyNotes",
                   R"({"version":"2.0","url":"https://quillo.example/download","notes":""})", "1.9",
                   updateAlert("Version 2.0 is available.")},
        AnswerCase{"APatchReleaseIsNewer", document("1.0.1"), "1.0",
                   updateAlert("Version 1.0.1 is available.")},
        AnswerCase{"Equal", document("1.9"), "1.9", upToDateAlert},
        AnswerCase{"OlderIsNoDowngradeOffer", document("1.8"), "1.9", upToDateAlert},
        AnswerCase{"NoRunningVersionIsOnePointZero", document("1.0"), "", upToDateAlert},
        AnswerCase{"NoRunningVersionIsOlderThanAPatch", document("1.0.1"), "",
                   updateAlert("Version 1.0.1 is available.")},
        AnswerCase{"OtherKeysAreIgnored",
                   R"({"channel":"stable","version":"2.0","url":"https://quillo.example/d",)"
                   R"("sizes":{"deb":[1,2,3]}})",
                   "1.9", updateAlert("Version 2.0 is available.")},
        AnswerCase{"DeepValuesUnderOtherKeysAreHarmless",
                   R"({"version":"2.0","url":"https://quillo.example/d","x":)" + deeplyNested + "}",
                   "1.9", updateAlert("Version 2.0 is available.")},
        AnswerCase{"UpperCaseSchemeIsAWebAddress", document("2.0", "HTTPS://quillo.example/d"),
                   "1.9", updateAlert("Version 2.0 is available.")},
        AnswerCase{"PlainHttpIsAWebAddress", document("2.0", "http://quillo.example/d"), "1.9",
                   updateAlert("Version 2.0 is available.")},
        AnswerCase{"AnAddressThatIsNoAddress", document("2.0", "not an address"), "1.9",
                   std::nullopt},
        AnswerCase{"AnAddressWithoutHost", document("2.0", "https:///download"), "1.9",
                   std::nullopt},
        AnswerCase{"JavascriptScheme", document("2.0", "javascript:alert(1)"), "1.9", std::nullopt},
        AnswerCase{"FileScheme", document("2.0", "file:///etc/passwd"), "1.9", std::nullopt},
        AnswerCase{"SchemeWithoutSlashes", document("2.0", "https:quillo.example"), "1.9",
                   std::nullopt},
        AnswerCase{"UrlMissing", R"({"version":"2.0"})", "1.9", std::nullopt},
        AnswerCase{"UrlNotAString", R"({"version":"2.0","url":["https://q.example"]})", "1.9",
                   std::nullopt},
        AnswerCase{"VersionMissing", R"({"url":"https://quillo.example/d"})", "1.9", std::nullopt},
        AnswerCase{"VersionNotAString", R"({"version":2,"url":"https://quillo.example/d"})", "1.9",
                   std::nullopt},
        AnswerCase{"MalformedJson", R"({"version":"2.0","url":)", "1.9", std::nullopt},
        AnswerCase{"AnArrayInsteadOfAnObject", "[" + document("2.0") + "]", "1.9", std::nullopt},
        AnswerCase{"AnErrorPage", "<html><body>404 Not Found</body></html>", "1.9", std::nullopt},
        AnswerCase{"AnEmptyBody", "", "1.9", std::nullopt},
        AnswerCase{"NotUtf8", "{\"version\":\"2.0\xff\",\"url\":\"https://quillo.example/d\"}",
                   "1.9", std::nullopt},
        AnswerCase{"NoNetwork", std::nullopt, "1.9", std::nullopt}),
    testing::CaseName());

TEST_F(UpdateCheckerTest, AsksOnceForTheVersionDocument) {
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.requestedUrls(), std::vector<std::string>{versionUrl});
}

TEST_F(UpdateCheckerTest, DownloadUpdateOpensTheDownloadPage) {
    desktop.setHttpResponse(versionUrl, document("2.0"));
    desktop.queueAlertAnswer(0);
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.openedUrls(), std::vector<std::string>{downloadUrl});
}

TEST_F(UpdateCheckerTest, LaterOpensNothing) {
    desktop.setHttpResponse(versionUrl, document("2.0"));
    desktop.queueAlertAnswer(1);
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.shownAlerts().size(), 1u);
    EXPECT_TRUE(desktop.openedUrls().empty());
}

TEST_F(UpdateCheckerTest, OkOnTheUpToDateAlertOpensNothing) {
    desktop.setHttpResponse(versionUrl, document("1.9"));
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(shownAlerts(), std::vector<std::string>{upToDateAlert});
    EXPECT_TRUE(desktop.openedUrls().empty());
}

TEST_F(UpdateCheckerTest, AnAnswerWithinFiveSecondsCountsAndALaterOneIsATimeout) {
    desktop.setHttpResponse(versionUrl, document("1.9"), 5s);
    auto inTime = makeChecker();
    inTime->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.shownAlerts().size(), 1u);

    desktop.setHttpResponse(versionUrl, document("1.9"), 5001ms);
    auto late = makeChecker();
    late->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.shownAlerts().size(), 1u);
}

TEST_F(UpdateCheckerTest, ReadsADocumentOfOneMebibyteButNotOneByteMore) {
    std::string padded = document("1.9");
    padded.resize(UpdateChecker::maxDocumentBytes, ' ');
    desktop.setHttpResponse(versionUrl, padded);
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.shownAlerts().size(), 1u);

    desktop.setHttpResponse(versionUrl, padded + " ");
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.shownAlerts().size(), 1u);
}

TEST_F(UpdateCheckerTest, AServerThatNeverAnswersShowsNothing) {
    auto checker = makeChecker();
    checker->checkForUpdates();
    EXPECT_TRUE(desktop.runUntilIdle());
    EXPECT_TRUE(desktop.shownAlerts().empty());
}

TEST_F(UpdateCheckerTest, ACheckerGoneBeforeTheAnswerShowsNothing) {
    desktop.setHttpResponse(versionUrl, document("2.0"), 2s);
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runFor(1s);
    checker.reset();
    EXPECT_TRUE(desktop.runUntilIdle());
    EXPECT_TRUE(desktop.shownAlerts().empty());
}

TEST_F(UpdateCheckerTest, TwoChecksInFlightShowTwoAlerts) {
    desktop.setHttpResponse(versionUrl, document("1.9"), 1s);
    auto checker = makeChecker();
    checker->checkForUpdates();
    desktop.runFor(500ms);
    checker->checkForUpdates();
    desktop.runUntilIdle();
    EXPECT_EQ(shownAlerts(), (std::vector<std::string>{upToDateAlert, upToDateAlert}));
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
