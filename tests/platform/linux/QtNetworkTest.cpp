// The Qt network against a real HTTP server on the loopback interface.
#include "platform/linux/LoopbackServer.h"
#include "platform/linux/QtNetwork.h"
#include "support/EngineFixture.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

namespace quillo::linuxdesktop {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackServer;

// What a GET gave, once the event loop has delivered it.
struct Outcome {
    int completions = 0;
    std::optional<std::string> body;
};

Outcome fetch(QtNetwork& network, const std::string& url, std::chrono::milliseconds timeout,
              std::size_t maxBytes) {
    auto outcome = std::make_shared<Outcome>();
    QEventLoop loop;
    network.get(url, timeout, maxBytes, [outcome, &loop](platform::HttpResponse response) {
        ++outcome->completions;
        if (response.body) {
            outcome->body = std::string(response.body->begin(), response.body->end());
        }
        loop.quit();
    });
    // Only against a hang: no outcome here depends on how long anything took.
    QTimer::singleShot(30s, &loop, &QEventLoop::quit);
    if (outcome->completions == 0) {
        loop.exec();
    }
    // Whatever else was queued runs too: a second completion would show.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, 0);
    return *outcome;
}

struct AnswerCase {
    std::string name;
    LoopbackServer::Answer answer;
    std::size_t maxBytes;
    std::optional<std::string> body;
};

class QtNetworkAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(QtNetworkAnswers, GiveTheBodyOrFail) {
    const AnswerCase& c = GetParam();
    LoopbackServer server(c.answer);
    QtNetwork network;

    const Outcome outcome = fetch(network, server.url(), 5s, c.maxBytes);

    EXPECT_EQ(outcome.completions, 1);
    EXPECT_EQ(outcome.body, c.body);
    // Qt sends a GET again, once, when the server closes the connection just as it answers.
    EXPECT_GE(server.requests(), 1);
}

const std::string document = R"({"version":"1.2","url":"https://quillo.example/"})";
const std::string large(100'000, 'x');

INSTANTIATE_TEST_SUITE_P(
    , QtNetworkAnswers,
    ::testing::Values(
        AnswerCase{"ABody", {"HTTP/1.1 200 OK", document}, 1 << 20, document},
        AnswerCase{"AnEmptyBody", {"HTTP/1.1 200 OK", ""}, 1 << 20, ""},
        AnswerCase{"AnErrorStatusStillGivesItsBody",
                   {"HTTP/1.1 404 Not Found", "not here"},
                   1 << 20,
                   "not here"},
        AnswerCase{
            "AServerErrorStillGivesItsBody", {"HTTP/1.1 503 Busy", "later"}, 1 << 20, "later"},
        AnswerCase{"ABodyOfExactlyTheCap", {"HTTP/1.1 200 OK", large}, large.size(), large},
        AnswerCase{"ABodyOverTheCap", {"HTTP/1.1 200 OK", large}, large.size() - 1, std::nullopt},
        AnswerCase{
            "ABodyOverTheCapWithoutALength", {"HTTP/1.1 200 OK", large, false}, 1000, std::nullopt},
        AnswerCase{"ABodyWithoutALength", {"HTTP/1.1 200 OK", document, false}, 1 << 20, document}),
    testing::CaseName());

TEST(QtNetwork, AServerThatNeverAnswersFailsAtTheTimeout) {
    auto server = LoopbackServer::silent();
    QtNetwork network;

    const Outcome outcome = fetch(network, server.url(), 300ms, 1 << 20);

    EXPECT_EQ(outcome.completions, 1);
    EXPECT_EQ(outcome.body, std::nullopt);
    EXPECT_EQ(server.requests(), 1);
}

TEST(QtNetwork, NobodyListeningFails) {
    std::string url;
    {
        LoopbackServer gone({"HTTP/1.1 200 OK", "x"});
        url = gone.url();
    }
    QtNetwork network;
    const Outcome outcome = fetch(network, url, 5s, 1 << 20);
    EXPECT_EQ(outcome.completions, 1);
    EXPECT_EQ(outcome.body, std::nullopt);
}

TEST(QtNetwork, AnAddressThatIsNoAddressFails) {
    QtNetwork network;
    const Outcome outcome = fetch(network, "http://", 5s, 1 << 20);
    EXPECT_EQ(outcome.completions, 1);
    EXPECT_EQ(outcome.body, std::nullopt);
}

TEST(QtNetwork, ARequestStillRunningWhenTheNetworkGoesIsDroppedQuietly) {
    auto server = LoopbackServer::silent();
    int completions = 0;
    {
        QtNetwork network;
        network.get(server.url(), 5s, 1 << 20, [&](platform::HttpResponse) { ++completions; });
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(completions, 0);
}

} // namespace
} // namespace quillo::linuxdesktop
