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
    sim_->setInputSource(launch.inputSource);
    platform::Services services = sim_->services();
    services.preferences.setBool(model::AppSettings::hasCompletedOnboardingKey,
                                 launch.onboardingCompleted);
    services.preferences.setBool(model::AppSettings::isExpansionEnabledKey,
                                 launch.expansionEnabled);
    delegate_ = std::make_unique<app::AppDelegate>(services);
}

App::App(Launch launch, bool tray, QString moreAppsUrl)
    : Desktop(launch), app(delegate(), {.trayAvailable = tray,
                                        .moreAppsUrl = std::move(moreAppsUrl),
                                        .quit = [this] { ++quits; }}) {}

} // namespace quillo::uitest

// `ui_tests` runs every test class; `ui_tests QuilloAppTest [QtTest options]` runs one.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    args.insert(args.end(), argv + (only ? 2 : 1), argv + argc);
    int failures = 0, found = 0;
    for (const auto& [name, make] : quillo::uitest::registry()) {
        if (!only || std::strcmp(only, name) == 0) {
            ++found;
            failures += QTest::qExec(make().get(), static_cast<int>(args.size()), args.data());
        }
    }
    if (found == 0) {
        std::cerr << "no test class named " << (only ? only : "") << "\n";
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
