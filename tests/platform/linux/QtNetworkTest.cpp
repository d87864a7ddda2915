// The Qt network against a real HTTP server on the loopback interface.
#include "platform/linux/QtNetwork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

namespace quillo::linuxdesktop {
namespace {

using namespace std::chrono_literals;

struct Answer {
    std::string statusLine = "HTTP/1.1 200 OK";
    std::string body;
    bool sendLength = true; // without it the body ends when the connection closes
};

// An HTTP server on 127.0.0.1, served by the test's own event loop: each request gets the one
// answer once its head is in, or, without an answer, its connection is held open and never
// answered.
class LoopbackServer {
  public:
    explicit LoopbackServer(std::optional<Answer> answer) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this, answer] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                auto head = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, [socket, head, answer] {
                    *head += socket->readAll();
                    if (!head->contains("\r\n\r\n")) {
                        return;
                    }
                    head->clear(); // a GET has no body: nothing follows the head
                    if (answer) {
                        std::string message = answer->statusLine + "\r\n";
                        if (answer->sendLength) {
                            message +=
                                "Content-Length: " + std::to_string(answer->body.size()) + "\r\n";
                        }
                        message += "Connection: close\r\n\r\n" + answer->body;
                        socket->write(message.data(), static_cast<qint64>(message.size()));
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }

    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/version.json";
    }

  private:
    QTcpServer server_;
};

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
    loop.exec(); // the request starts from the loop, so it cannot have finished before
    // Whatever else was queued runs too: a second completion would show.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, 0);
    return *outcome;
}

TEST(QtNetwork, AnswersGiveTheirBodyWhateverTheStatusUpToTheCap) {
    const std::string document = R"({"version":"1.2","url":"https://quillo.example/"})";
    const std::string large(100'000, 'x');
    const struct {
        const char* name;
        Answer answer;
        std::size_t maxBytes;
        std::optional<std::string> body;
    } cases[] = {
        {"a body", {"HTTP/1.1 200 OK", document}, 1 << 20, document},
        {"an error status", {"HTTP/1.1 404 Not Found", "not here"}, 1 << 20, "not here"},
        {"a server error", {"HTTP/1.1 503 Busy", "later"}, 1 << 20, "later"},
        {"exactly the cap", {"HTTP/1.1 200 OK", large}, large.size(), large},
        {"over the cap", {"HTTP/1.1 200 OK", large}, large.size() - 1, std::nullopt},
        {"over the cap without a length", {"HTTP/1.1 200 OK", large, false}, 1000, std::nullopt},
        {"without a length", {"HTTP/1.1 200 OK", document, false}, 1 << 20, document},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server(c.answer);
        QtNetwork network;
        const Outcome outcome = fetch(network, server.url(), 5s, c.maxBytes);
        EXPECT_EQ(outcome.completions, 1);
        EXPECT_EQ(outcome.body, c.body);
    }
}

TEST(QtNetwork, WithoutAnAnswerItFailsOnceOrNotAtAllWhenTheNetworkGoesFirst) {
    LoopbackServer silent(std::nullopt);
    std::string gone;
    {
        LoopbackServer closed(Answer{});
        gone = closed.url();
    }
    // A server that never answers fails at the timeout; nobody listening and an address that is
    // no address fail at once.
    for (const auto& [url, timeout] : {std::pair{silent.url(), 300ms}, std::pair{gone, 5000ms},
                                       std::pair{std::string("http://"), 5000ms}}) {
        SCOPED_TRACE(url);
        QtNetwork network;
        const Outcome outcome = fetch(network, url, timeout, 1 << 20);
        EXPECT_EQ(outcome.completions, 1);
        EXPECT_EQ(outcome.body, std::nullopt);
    }
    // A request still running when the network goes is dropped quietly.
    int completions = 0;
    {
        QtNetwork network;
        network.get(silent.url(), 5s, 1 << 20, [&](platform::HttpResponse) { ++completions; });
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(completions, 0);
}

} // namespace
} // namespace quillo::linuxdesktop
