#include "platform/linux/LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace quillo::testing {

LoopbackServer::LoopbackServer(Answer answer) : LoopbackServer(std::move(answer), true) {}

LoopbackServer LoopbackServer::silent() {
    return LoopbackServer(Answer{}, false);
}

LoopbackServer::LoopbackServer(Answer answer, bool answers)
    : answer_(std::move(answer)), answers_(answers) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("the loopback server cannot start");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer() {
    if (thread_.joinable()) {
        (void)::write(stopPipe_[1], "x", 1);
        thread_.join();
    }
    for (int fd : {listener_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string LoopbackServer::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/version.json";
}

void LoopbackServer::serve() {
    for (;;) {
        pollfd watched[] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR) {
            break;
        }
        if (watched[1].revents != 0) {
            break;
        }
        if ((watched[0].revents & POLLIN) == 0) {
            continue;
        }
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        if (readRequest(connection)) {
            ++requests_;
            if (!answers_) {
                held_.push_back(connection);
                continue;
            }
            sendAnswer(connection);
        }
        ::close(connection);
    }
    for (int connection : held_) {
        ::close(connection);
    }
}

// Reads up to the blank line that ends the request's head (a GET has no body).
bool LoopbackServer::readRequest(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd watched[] = {{connection, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0) {
            return false;
        }
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        head.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void LoopbackServer::sendAnswer(int connection) {
    // A client that neither reads nor closes must not hold the server (and the test) forever.
    const timeval patience{10, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    std::string message = answer_.statusLine + "\r\nContent-Type: application/json\r\n";
    if (answer_.sendLength) {
        message += "Content-Length: " + std::to_string(answer_.body.size()) + "\r\n";
    }
    message += "Connection: close\r\n\r\n" + answer_.body;
    std::size_t sent = 0;
    while (sent < message.size()) {
        // A client that gives up closes the connection, and sending fails: that ends it.
        const ssize_t n =
            ::send(connection, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(connection, SHUT_WR);
}

} // namespace quillo::testing
