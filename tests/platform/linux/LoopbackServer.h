// A tiny HTTP server on 127.0.0.1 for the network tests: it serves each connection one fixed
// answer, or holds it open and never answers.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace quillo::testing {

class LoopbackServer {
  public:
    struct Answer {
        std::string statusLine = "HTTP/1.1 200 OK";
        std::string body;
        bool sendLength = true; // without it the body ends when the connection closes
    };

    // Answers every request with `answer`.
    explicit LoopbackServer(Answer answer);
    // Accepts connections, reads the requests and never answers.
    static LoopbackServer silent();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url() const;
    int requests() const { return requests_; }

  private:
    LoopbackServer(Answer answer, bool answers);
    void serve();
    bool readRequest(int connection);
    void sendAnswer(int connection);

    Answer answer_;
    bool answers_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::vector<int> held_;
    std::thread thread_;
};

} // namespace quillo::testing
