// "Check for Updates…": fetches the version document from Quillo's web server, compares its
// version with the running one and tells the user in an alert, offering the download page when
// a newer version exists. Only the user starts a check; nothing is checked on its own.
//
// Every failure (no network, the timeout, an error page, a malformed document, an address that
// is not a web address) ends the check silently. Each check that succeeds shows its own alert,
// also when two overlap.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace quillo::app {

struct VersionDocument;

class UpdateChecker {
  public:
    static constexpr std::chrono::milliseconds timeout{5000};
    // The document is a few lines; the cap keeps a wrong server from filling the memory.
    static constexpr std::size_t maxDocumentBytes = 1024 * 1024;

    // `runningVersion` empty counts as "1.0".
    UpdateChecker(platform::Network& network, platform::Time& time, platform::Alerts& alerts,
                  platform::Workspace& workspace, std::string versionUrl = configuredVersionUrl(),
                  std::string runningVersion = builtVersion());
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Starts a check and returns at once; the outcome comes later, on the main thread. A
    // checker destroyed before then shows nothing.
    void checkForUpdates();

    const std::string& versionUrl() const { return versionUrl_; }
    const std::string& runningVersion() const { return runningVersion_; }

    // The environment variable QUILLO_VERSION_URL when it is set and not empty, otherwise the
    // address the program was built with.
    static std::string configuredVersionUrl();
    // The version the program was built as.
    static std::string builtVersion();

  private:
    void show(const VersionDocument& document);

    platform::Network& network_;
    platform::Time& time_;
    platform::Alerts& alerts_;
    platform::Workspace& workspace_;
    std::string versionUrl_;
    std::string runningVersion_;
    // Answers that arrive after the checker is gone find this expired.
    std::shared_ptr<UpdateChecker*> self_;
};

} // namespace quillo::app
