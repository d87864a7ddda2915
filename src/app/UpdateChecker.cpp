#include "app/UpdateChecker.h"

#include "app/VersionDocument.h"

#include <cstdlib>
#include <optional>
#include <utility>

#ifndef QUILLO_BUILD_VERSION
#define QUILLO_BUILD_VERSION ""
#endif
#ifndef QUILLO_BUILD_VERSION_URL
#define QUILLO_BUILD_VERSION_URL ""
#endif

namespace quillo::app {

UpdateChecker::UpdateChecker(platform::Network& network, platform::Time& time,
                             platform::Alerts& alerts, platform::Workspace& workspace,
                             std::string versionUrl, std::string runningVersion)
    : network_(network), time_(time), alerts_(alerts), workspace_(workspace),
      versionUrl_(std::move(versionUrl)),
      runningVersion_(runningVersion.empty() ? "1.0" : std::move(runningVersion)),
      self_(std::make_shared<UpdateChecker*>(this)) {}

UpdateChecker::~UpdateChecker() = default;

std::string UpdateChecker::configuredVersionUrl() {
    if (const char* url = std::getenv("QUILLO_VERSION_URL"); url != nullptr && url[0] != '\0') {
        return url;
    }
    return QUILLO_BUILD_VERSION_URL;
}

std::string UpdateChecker::builtVersion() {
    return QUILLO_BUILD_VERSION;
}

void UpdateChecker::checkForUpdates() {
    // The answer may come on any thread: it touches only its own values there, and reaches the
    // checker on the main thread, if the checker still exists.
    network_.get(versionUrl_, timeout, maxDocumentBytes,
                 [&time = time_,
                  weak = std::weak_ptr<UpdateChecker*>(self_)](platform::HttpResponse response) {
                     if (!response.body) {
                         return;
                     }
                     auto document = parseVersionDocument(*response.body);
                     if (!document) {
                         return;
                     }
                     time.postToMain([weak, document = std::move(*document)] {
                         if (auto self = weak.lock()) {
                             (*self)->show(document);
                         }
                     });
                 });
}

void UpdateChecker::show(const VersionDocument& document) {
    // Alerts are modal: the checker may be gone when one closes, so nothing after run() may
    // touch it.
    platform::Alerts& alerts = alerts_;
    if (compareVersions(document.version, runningVersion_) > 0) {
        std::string informative = "Version " + document.version + " is available.";
        if (!document.notes.empty()) {
            informative += "\n\nRelease notes: " + document.notes;
        }
        platform::Workspace& workspace = workspace_;
        const platform::Alert alert{
            "Quillo update available", std::move(informative), {"Download Update", "Later"}};
        if (alerts.run(alert) == 0) {
            workspace.openUrl(document.url);
        }
        return;
    }
    alerts.run({"Quillo is up to date", "You're running the latest version.", {"OK"}});
}

} // namespace quillo::app
