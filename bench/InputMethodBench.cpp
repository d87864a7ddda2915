// What the input method's way adds to each key press inside Quillo: from IBus's call of the
// engine to its answer, with a handler that decides at once (the engine's own cost is
// handleKeyEvent's, measured by quillo_bench). Every key of every program waits for this.
//
//   quillo_ime_bench [KEYS]
//
// Types KEYS key presses and releases (a sentence with shortcuts, capitals, a dead key) into an
// engine object on the session bus that no program uses, so that the commits go out as signals
// that nobody reads, and prints the median and the 99th percentile of a press. Run it on a
// session bus of its own (dbus-run-session).
#include "platform/linux/IBusInputMethod.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#undef signals
#include <ibus.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Key {
    guint keyval;
    guint keycode; // evdev
    guint state;
};

// The US keys of a sentence, Shift where it needs it.
std::vector<Key> sentence() {
    const char* text = "Omw, see you at the cafe in ten minutes; brb ";
    std::vector<Key> keys;
    for (const char* c = text; *c != '\0'; ++c) {
        const guint keyval = static_cast<unsigned char>(*c);
        const guint lower = ibus_keyval_to_lower(keyval);
        const guint state = lower != keyval ? guint{IBUS_SHIFT_MASK} : 0u;
        keys.push_back({keyval, 30, state});
    }
    keys.push_back({IBUS_KEY_dead_acute, 40, 0});
    keys.push_back({IBUS_KEY_e, 18, 0});
    keys.push_back({IBUS_KEY_BackSpace, 14, 0});
    return keys;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const long presses = argc > 1 ? std::atol(argv[1]) : 200'000;
    quillo::linuxdesktop::IBusInputMethod inputMethod(
        {.alt = 0x08 /* Mod1 */, .super = 0x40 /* Mod4 */, .numLock = 0x10 /* Mod2 */});
    std::uint64_t handled = 0;
    inputMethod.start([&handled](const quillo::platform::KeyEvent& event) {
        handled += event.textLength;
        return false;
    });
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (connection == nullptr) {
        std::fprintf(stderr, "quillo_ime_bench needs a session bus (dbus-run-session)\n");
        return 2;
    }
    auto* engine = quillo::linuxdesktop::IBusInputMethod::unusedEngine(connection);
    const auto keys = sentence();
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(presses));
    for (long i = 0; i < presses; ++i) {
        const Key& key = keys[static_cast<std::size_t>(i) % keys.size()];
        const auto start = Clock::now();
        inputMethod.onKey(engine, key.keyval, key.keycode, key.state);
        const auto end = Clock::now();
        inputMethod.onKey(engine, key.keyval, key.keycode, key.state | IBUS_RELEASE_MASK);
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&micros](double share) {
        return micros[static_cast<std::size_t>(share * static_cast<double>(micros.size() - 1))];
    };
    const double median = at(0.5);
    const double p99 = at(0.99);
    // Rows of scripts/bench's table: measure, count, result, target, verdict.
    std::printf("input method: a key press, median\t%ld\t%.1f µs\t≤ 50 µs\t%s\n", presses, median,
                median <= 50 ? "met" : "MISSED");
    std::printf("input method: a key press, 99th percentile\t%ld\t%.1f µs\t≤ 1 ms\t%s\n", presses,
                p99, p99 <= 1000 ? "met" : "MISSED");
    g_object_unref(engine);
    g_object_unref(connection);
    return handled > 0 ? 0 : 1;
}
