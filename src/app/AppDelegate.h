// The owner of Quillo's long-lived objects and of its start-up.
//
// It creates the three shared objects, in this order: the snippet store (which loads the
// snippets and follows their file from then on), the preferences and the permission monitor
// (which reads the trust state). Every window is handed these same instances. Once the windows
// exist, `applicationDidFinishLaunching` starts the expansion engine if Quillo may watch the
// keyboard, and otherwise looks again once a second until it may. The engine, once started, runs
// until the process ends.
//
// It also keeps the engine's one action hotkey, the search window's, in step with the
// preferences and the snippets (AppSettings::searchWindowHotkey).
#pragma once

#include "app/PermissionsManager.h"
#include "engine/TextExpansionEngine.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quillo::app {

class AppDelegate {
  public:
    static constexpr std::chrono::milliseconds pollInterval{1000};

    explicit AppDelegate(platform::Services services);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    model::SnippetStore& snippetStore() { return snippetStore_; }
    model::AppSettings& settings() { return settings_; }
    PermissionsManager& permissionsManager() { return permissionsManager_; }
    platform::Services& services() { return services_; }

    // The running engine; none until access was first granted.
    engine::TextExpansionEngine* engine() const { return engine_.get(); }
    // True while the start-up poll waits for access.
    bool isWaitingForAccess() const { return pollTimer_ != nullptr; }

    // How the windows close the onboarding window; called on a later turn of the main thread.
    void setCloseOnboardingWindow(std::function<void()> close) {
        closeOnboardingWindow_ = std::move(close);
    }

    // What the search window's hotkey does; the engine grabs the hotkey from its start on.
    void setSearchWindowAction(std::function<void()> open);

    // Starts the engine (never prompting) and, when onboarding was completed before, closes the
    // onboarding window on the next turn of the main thread.
    void applicationDidFinishLaunching();

    // Starts the engine if it is not running and access is granted; otherwise (asking the user
    // first when `prompt` is true) waits for access with the one-second poll. Never two polls.
    void startEngine(bool prompt);

    // One tick of the start-up poll.
    void checkAccessAndStart();

  private:
    // Hands the engine the search window's hotkey when it changed, or when `always`.
    void updateSearchWindowHotkey(bool always);

    platform::Services services_;
    model::SnippetStore snippetStore_;
    model::AppSettings settings_;
    PermissionsManager permissionsManager_;
    std::unique_ptr<engine::TextExpansionEngine> engine_;
    std::unique_ptr<platform::Timer> pollTimer_;
    std::function<void()> closeOnboardingWindow_;
    std::function<void()> searchWindowAction_;
    std::optional<platform::Hotkey> searchWindowHotkey_;
    model::Observable::Subscription settingsSubscription_;
    model::Observable::Subscription storeSubscription_;
    // Work posted to the main thread holds this weakly and does nothing once the delegate is gone.
    std::shared_ptr<AppDelegate*> self_;
};

} // namespace quillo::app
