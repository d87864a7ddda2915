#include "UiTest.h"

#include <QApplication>
#include <QTest>
#include <cstring>
#include <iostream>

namespace quillo::uitest {

std::vector<std::pair<const char*, Factory>>& registry() {
    static std::vector<std::pair<const char*, Factory>> tests;
    return tests;
}

Desktop::Desktop(Launch launch) {
    sim_ = std::make_unique<sim::SimDesktop>(folder_.path().toStdString());
    sim_->setTrusted(launch.trusted);
    platform::Services services = sim_->services();
    services.preferences.setBool(model::AppSettings::hasCompletedOnboardingKey,
                                 launch.onboardingCompleted);
    services.preferences.setBool(model::AppSettings::isExpansionEnabledKey,
                                 launch.expansionEnabled);
    loginItem_ = std::make_unique<CountingLoginItem>(services.loginItem);
    delegate_ = std::make_unique<app::AppDelegate>(platform::Services{
        .keyboardTap = services.keyboardTap,
        .eventPoster = services.eventPoster,
        .keyboardLayout = services.keyboardLayout,
        .secureInput = services.secureInput,
        .accessibilityTrust = services.accessibilityTrust,
        .pasteboard = services.pasteboard,
        .workspace = services.workspace,
        .sound = services.sound,
        .alerts = services.alerts,
        .preferences = services.preferences,
        .loginItem = *loginItem_,
        .files = services.files,
        .network = services.network,
        .time = services.time,
    });
}

Desktop::~Desktop() {
    delegate_.reset();
}

} // namespace quillo::uitest

// `ui_tests` runs every test class; `ui_tests MenuBarViewTest [QtTest options]` runs one.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = only ? 2 : 1; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    int failures = 0;
    bool found = false;
    for (const auto& [name, make] : quillo::uitest::registry()) {
        if (only && std::strcmp(only, name) != 0) {
            continue;
        }
        found = true;
        const auto test = make();
        failures += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    if (!found) {
        std::cerr << "no test class named " << (only ? only : "") << "\n";
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
