#include "main/DesktopRun.h"

#include "engine/TextExpansionEngine.h"
#include "engine/TextReplacer.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/X11KeyboardTap.h"
#include "platform/linux/X11Trust.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <iostream>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quillo::cli {

namespace {

// SIGINT and SIGTERM end the main loop through a descriptor the loop watches, so that the
// program quits from the main thread like any other event. The signals are blocked in every
// thread (the worker inherits the mask), so nobody else takes them.
int signalDescriptor() {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    return signalfd(-1, &blocked, SFD_CLOEXEC | SFD_NONBLOCK);
}

} // namespace

std::vector<std::pair<platform::KeyCode, platform::EventFlags>>
grabbedHotkeys(const std::vector<model::Snippet>& snippets) {
    std::vector<std::pair<platform::KeyCode, platform::EventFlags>> hotkeys;
    for (const auto& snippet : snippets) {
        if (!snippet.isEnabled || snippet.triggerMode != model::Snippet::TriggerMode::hotkey ||
            !snippet.hotkeyKeyCode || !snippet.hotkeyModifiers || *snippet.hotkeyKeyCode < 0 ||
            *snippet.hotkeyKeyCode > 0xFFFF) {
            continue;
        }
        const std::pair combination(static_cast<platform::KeyCode>(*snippet.hotkeyKeyCode),
                                    *snippet.hotkeyModifiers);
        if (std::find(hotkeys.begin(), hotkeys.end(), combination) == hotkeys.end()) {
            hotkeys.push_back(combination);
        }
    }
    return hotkeys;
}

int runDesktop(int argc, char** argv) {
    if (const std::string reason = x11::X11Trust::check(); !reason.empty()) {
        std::cout << "Quillo needs an X11 display. " << reason
                  << " (quillo simulate tries your snippets without one.)" << std::endl;
        return 1;
    }
    linuxdesktop::LinuxDesktop::prepareProcess();
    const int signalFd = signalDescriptor();

    // The clipboard Quillo pastes through is the X display's, whatever the session prefers.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName("Quillo");
    QGuiApplication::setQuitOnLastWindowClosed(false);

    auto desktop = linuxdesktop::LinuxDesktop::open();
    if (!desktop) {
        std::cout << "Quillo needs an X11 display. " << x11::X11Trust::check() << std::endl;
        return 1;
    }
    const auto services = desktop->services();
    model::SnippetStore store(services.files);
    model::AppSettings settings(services.preferences, services.loginItem);
    engine::TextExpansionEngine engine(store, settings, services,
                                       std::make_unique<engine::TextReplacer>(services));

    auto& tap = desktop->keyboardTap();
    const auto followSnippets = [&] { tap.setGrabbedHotkeys(grabbedHotkeys(store.snippets())); };
    followSnippets();
    const auto subscription = store.subscribe(followSnippets);

    engine.start();
    if (!tap.isRunning()) {
        std::cout << "Quillo cannot watch the keyboard: the X display refused to record it."
                  << std::endl;
        return 1;
    }

    QSocketNotifier quitNotifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, [signalFd] {
        signalfd_siginfo info{};
        while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        QGuiApplication::quit();
    });

    std::cout << "Quillo is running" << std::endl;
    const int status = QGuiApplication::exec();
    desktop->shutdown();
    close(signalFd);
    return status;
}

} // namespace quillo::cli
