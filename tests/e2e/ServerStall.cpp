// Preloaded into quillo by the e2e case first_client_of_a_fresh_server: the moment the first X
// connection of the process closes, the X server (STALL_SERVER_PID) is stopped for a second and a
// half, as the scheduler of a busy machine may stop it. When it runs again it finds the closed
// connection and the next one waiting together; if the closed one was its last client, it starts
// afresh and drops the waiting one.
#include <X11/Xlib.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <thread>
#include <unistd.h>

extern "C" int XCloseDisplay(Display* display) {
    static bool first = true;
    using Close = int (*)(Display*);
    static const auto real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "XCloseDisplay"));
    const char* server = std::getenv("STALL_SERVER_PID");
    if (!first || server == nullptr) {
        return real(display);
    }
    first = false;
    const pid_t pid = std::atoi(server);
    // Xlib's own close begins with a round trip, which a stopped server would never answer.
    XSync(display, False);
    kill(pid, SIGSTOP);
    std::thread([pid] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        kill(pid, SIGCONT);
    }).detach();
    close(ConnectionNumber(display));
    return 0;
}
