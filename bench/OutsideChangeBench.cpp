// How soon a change that another program makes to the snippets file is live: from the rename
// that puts a new 10,000-snippet file in place (as a sync tool or an editor does) until the
// engine's index holds the new list. The real inotify watch and Qt's main loop carry it; the
// settling time, which waits for a file written in steps to be whole, is counted on purpose.
#include "BenchSnippets.h"
#include "engine/TextExpansionEngine.h"
#include "model/AppSettings.h"
#include "model/SnippetDocument.h"
#include "model/SnippetStore.h"
#include "platform/linux/InotifyFileWatcher.h"
#include "platform/linux/QtTime.h"
#include "platform/posix/PosixFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>

namespace quillo::bench {
namespace {

void outsideChangeLive(benchmark::State& state) {
    // The benchmarks' own main makes no application object; Qt's loop needs one.
    static int argc = 1;
    static char name[] = "quillo_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);

    const ScratchFolder folder;
    sim::SimDesktop desktop(folder.path());
    auto services = desktop.services();
    posix::PosixFiles files(folder.path());
    auto list = makeSnippets(static_cast<std::size_t>(state.range(0)));
    const auto file = folder.path() / model::SnippetStore::fileName;
    const std::string original = model::encodeSnippets(list);
    std::ofstream(file) << original;
    // Two versions of the file, one replacement apart, written in turn.
    list.front().replacement += " Changed.";
    const std::string versions[] = {model::encodeSnippets(list), original};

    linuxdesktop::QtTime time;
    linuxdesktop::InotifyFileWatcher watcher;
    model::SnippetStore store(files);
    store.watchFile(watcher, time);
    model::AppSettings settings(services.preferences, services.loginItem);
    engine::TextExpansionEngine engine(store, settings, services, std::make_unique<NoOutput>());
    // Heard after the engine, which subscribed first and has its new index by then.
    bool live = false;
    const auto subscription = store.subscribe([&live] { live = true; });

    std::size_t turn = 0;
    for (auto _ : state) {
        const auto beside = folder.path() / "snippets.json.partial";
        std::ofstream(beside) << versions[turn++ % 2];
        live = false;
        const auto start = std::chrono::steady_clock::now();
        std::filesystem::rename(beside, file);
        for (QDeadlineTimer deadline(5000); !live && !deadline.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!live) {
            state.SkipWithError("the change did not go live within 5 s");
            break;
        }
        state.SetIterationTime(took.count());
    }
    state.counters["settling_ms"] = static_cast<double>(model::SnippetStore::settlingTime.count());
}

BENCHMARK(outsideChangeLive)
    ->Arg(10'000)
    ->UseManualTime()
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillo::bench
