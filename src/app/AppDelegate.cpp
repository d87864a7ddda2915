#include "app/AppDelegate.h"

#include "engine/TextReplacer.h"

#include <utility>

namespace quillo::app {

AppDelegate::AppDelegate(platform::Services services)
    : services_(services), snippetStore_(services_.files),
      settings_(services_.preferences, services_.loginItem),
      permissionsManager_(services_.accessibilityTrust, services_.time),
      self_(std::make_shared<AppDelegate*>(this)) {
    snippetStore_.watchFile(services_.fileWatcher, services_.time);
    settingsSubscription_ = settings_.subscribe([this] { updateSearchWindowHotkey(false); });
    storeSubscription_ = snippetStore_.subscribe([this] { updateSearchWindowHotkey(false); });
}

// The timer and the engine go first, while the objects they use still exist.
AppDelegate::~AppDelegate() {
    pollTimer_.reset();
    engine_.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    startEngine(false);
    if (settings_.hasCompletedOnboarding()) {
        services_.time.postToMain([weak = std::weak_ptr<AppDelegate*>(self_)] {
            if (auto self = weak.lock(); self && (*self)->closeOnboardingWindow_) {
                (*self)->closeOnboardingWindow_();
            }
        });
    }
}

void AppDelegate::startEngine(bool prompt) {
    if (engine_) {
        return;
    }
    if (permissionsManager_.isAccessibilityGranted()) {
        engine_ = std::make_unique<engine::TextExpansionEngine>(
            snippetStore_, settings_, services_, std::make_unique<engine::TextReplacer>(services_));
        engine_->start();
        updateSearchWindowHotkey(true);
        pollTimer_.reset();
        return;
    }
    if (prompt) {
        services_.accessibilityTrust.requestTrust();
        permissionsManager_.startPolling();
    }
    if (!pollTimer_) {
        // The timer dies with the delegate, so its ticks never outlive `this`.
        pollTimer_ = services_.time.startRepeating(pollInterval, [this] { checkAccessAndStart(); });
    }
}

void AppDelegate::setSearchWindowAction(std::function<void()> open) {
    searchWindowAction_ = std::move(open);
    updateSearchWindowHotkey(true);
}

void AppDelegate::updateSearchWindowHotkey(bool always) {
    const auto hotkey = settings_.searchWindowHotkey(snippetStore_.snippets());
    if (!engine_ || (!always && hotkey == searchWindowHotkey_)) {
        return;
    }
    searchWindowHotkey_ = hotkey;
    // Without an action the engine has no hotkey to grab.
    engine_->setActionHotkey(searchWindowAction_ ? hotkey : std::nullopt, searchWindowAction_);
}

void AppDelegate::checkAccessAndStart() {
    permissionsManager_.setAccessibilityGranted(services_.accessibilityTrust.isTrusted());
    if (permissionsManager_.isAccessibilityGranted()) {
        startEngine(false);
    }
}

} // namespace quillo::app
