// The network on Linux: Qt's network access on the thread the object was made on (the main
// thread, which runs Qt's event loop).
//
// One GET per call, following redirects that do not lower the security. The timeout ends a
// transfer in which nothing arrived for that long. A body larger than the cap ends the transfer
// at once, as a failure. An answer with an HTTP error status still delivers its body: what the
// body means is the caller's business. The completion runs once, on the main thread; a request
// still running when the object is destroyed is dropped without one.
#pragma once

#include "platform/Platform.h"

#include <memory>

class QNetworkAccessManager;

namespace quillo::linuxdesktop {

class QtNetwork final : public platform::Network {
  public:
    QtNetwork();
    ~QtNetwork() override;
    QtNetwork(const QtNetwork&) = delete;
    QtNetwork& operator=(const QtNetwork&) = delete;

    // May be called from any thread; the request starts on the object's own thread.
    void get(const std::string& url, std::chrono::milliseconds timeout, std::size_t maxBytes,
             std::function<void(platform::HttpResponse)> completion) override;

  private:
    void start(const std::string& url, std::chrono::milliseconds timeout, std::size_t maxBytes,
               std::function<void(platform::HttpResponse)> completion);

    std::unique_ptr<QNetworkAccessManager> manager_;
};

} // namespace quillo::linuxdesktop
