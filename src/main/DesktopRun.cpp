#include "main/DesktopRun.h"

#include "app/AppDelegate.h"
#include "ui/Commands.h"
#include "ui/OnboardingView.h"
#include "ui/QuilloApp.h"
#include "ui/SettingsView.h"
#include "ui/SingleInstance.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

// After Qt's headers: Xlib's macros (CursorShape, None, Bool) would break them.
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/X11Trust.h"
#include "platform/linux/XdgPaths.h"
#include "platform/posix/FileLock.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quillo::main {

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

bool keepMemoryPrivate() {
    // A process that is not dumpable leaves no core file, and a crash reporter gets nothing to
    // keep; the flag goes with the process into a fork and ends at an exec.
    return prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
}

std::optional<DesktopOptions> parseDesktopOptions(const std::vector<std::string>& args) {
    DesktopOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--show" && hasValue) {
            options.show = args[++i];
        } else if (args[i] == "--tab" && hasValue) {
            options.tab = args[++i];
        } else if (args[i] == "--quit-when-ready") {
            options.quitWhenReady = true;
        } else if (args[i] == "--input-method") {
            options.inputMethod = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

namespace {

// What the scripts' switches ask to see, once the program is up.
void showRequested(ui::QuilloApp& quilloApp, const DesktopOptions& options) {
    if (options.show == "menu") {
        // The tray host needs a moment to place the icon that the menu hangs from.
        QTimer::singleShot(500, &quilloApp, [&quilloApp] { quilloApp.popUpMenu(); });
    } else if (options.show == "onboarding") {
        quilloApp.onboarding().show();
    } else if (options.show == "search") {
        quilloApp.openSearchWindow();
    } else if (options.show == "settings") {
        quilloApp.openSettings();
        const auto tab =
            ui::SettingsView::tabNamed(QString::fromStdString(options.tab.value_or("")));
        quilloApp.settingsWindow()->showTab(tab.value_or(ui::SettingsView::Tab::snippets));
    }
}

bool isSet(const char* name, const char* value = nullptr) {
    const char* set = std::getenv(name);
    return set != nullptr && set[0] != '\0' && (value == nullptr || std::strcmp(set, value) == 0);
}

// On Wayland the X display is XWayland's, whose RECORD sees only the X programs: the keys come
// through the input method there.
bool inputMethodPreferred(const DesktopOptions& options) {
    return options.inputMethod || isSet("QUILLO_INPUT_METHOD", "1") || isSet("WAYLAND_DISPLAY") ||
           isSet("XDG_SESSION_TYPE", "wayland");
}

} // namespace

int runDesktop(int argc, char** argv, const DesktopOptions& options) {
    // Before the first key is watched.
    keepMemoryPrivate();
    // Held until the desktop's own connections are open (see X11Trust::check).
    linuxdesktop::DisplayConnection firstConnection;
    bool inputMethod = inputMethodPreferred(options);
    std::string reason = linuxdesktop::X11Trust::check(&firstConnection, !inputMethod);
    if (!reason.empty() && !inputMethod && linuxdesktop::X11Trust::check(nullptr, false).empty()) {
        // A server that cannot be watched (no RECORD): the input method sees the keys instead.
        inputMethod = true;
        reason = linuxdesktop::X11Trust::check(&firstConnection, false);
    }
    if (!reason.empty()) {
        std::cout << "Quillo needs an X11 display. " << reason
                  << " (quillo simulate tries your snippets without one.)" << std::endl;
        return 1;
    }
    linuxdesktop::LinuxDesktop::prepareProcess();
    const int signalFd = signalDescriptor();

    // The clipboard Quillo pastes through is the X display's, whatever the session prefers.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillo");
    QApplication::setDesktopFileName("io.github.quillo.Quillo");
    QApplication::setWindowIcon(ui::assetIcon("AppIconColor"));
    // Closing the last window leaves Quillo in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    ui::SingleInstance instance;
    if (!instance.claim("show-settings")) {
        std::cout << "Quillo is already running: its settings window comes to the front."
                  << std::endl;
        return 0;
    }

    auto desktop = linuxdesktop::LinuxDesktop::open(inputMethod);
    if (!desktop) {
        std::cout << "Quillo needs an X11 display. " << linuxdesktop::X11Trust::check()
                  << std::endl;
        return 1;
    }
    firstConnection.reset();
    // A `quillo import` or `export` run while no Quillo was running may be writing the snippets
    // file: it is read once that is done.
    std::optional<posix::FileLock> startLock;
    if (const auto folder = linuxdesktop::dataFolder()) {
        const auto lockFile = posix::FileLock::pathIn(*folder);
        startLock = posix::FileLock::tryAcquire(lockFile, posix::FileLock::Mode::shared);
        if (!startLock) {
            std::cout << "Waiting for a quillo command to finish with the snippets file..."
                      << std::endl;
            startLock = posix::FileLock::acquire(lockFile, posix::FileLock::Mode::shared);
        }
    }
    app::AppDelegate delegate(desktop->services());
    startLock.reset();

    ui::QuilloApp quilloApp(delegate, {.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable(),
                                       .moreAppsUrl = {},
                                       .quit = [] { QApplication::quit(); }});
    QObject::connect(&instance, &ui::SingleInstance::messageReceived, &quilloApp,
                     [&quilloApp] { quilloApp.openSettings(); });
    instance.setRequestHandler([&delegate](const QByteArray& request) {
        return ui::answerCommandRequest(request, {delegate.snippetStore(),
                                                  delegate.services().keyboardLayout,
                                                  &delegate.settings(), delegate.engine()});
    });
    desktop->whenSecureInputLimitationChanges(
        &quilloApp, [&quilloApp] { quilloApp.refreshPasswordFieldsNote(); });
    quilloApp.launch();
    if (delegate.engine() != nullptr && !desktop->isKeyboardWatched()) {
        std::cout << "Quillo cannot watch the keyboard: the X display refused to record it."
                  << std::endl;
        return 1;
    }
    if (inputMethod) {
        std::cout << "Quillo reads the keys through its input method (IBus engine \"quillo\")."
                  << std::endl;
        if (options.inputMethod) {
            desktop->activateInputMethod();
        }
    }
    showRequested(quilloApp, options);

    QSocketNotifier quitNotifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, [signalFd] {
        signalfd_siginfo info{};
        while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        QApplication::quit();
    });
    if (options.quitWhenReady) {
        QTimer::singleShot(0, &application, [] { QApplication::quit(); });
    }

    std::cout << "Quillo is running" << std::endl;
    const int status = QApplication::exec();
    desktop->shutdown();
    close(signalFd);
    return status;
}

} // namespace quillo::main
