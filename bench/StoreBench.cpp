// Loading and saving the snippets file. Loading happens once at start-up; saving happens after
// every edit, on the main thread, so a slow save is a window that stutters while the user types.
#include "BenchSnippets.h"
#include "model/SnippetDocument.h"
#include "model/SnippetStore.h"
#include "platform/posix/PosixFiles.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <optional>
#include <string>
#include <unistd.h>

namespace quillo::bench {
namespace {

platform::Bytes asBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The data folder, with the snippets file of `count` snippets in it.
class FilledFolder {
  public:
    explicit FilledFolder(std::size_t count) : files(folder.path()) {
        const std::string document = model::encodeSnippets(makeSnippets(count));
        bytes = document.size();
        std::ofstream(folder.path() / model::SnippetStore::fileName) << document;
    }

    ScratchFolder folder;
    posix::PosixFiles files;
    std::size_t bytes = 0;
};

// Reading, decoding and handing the list to the store, as at start-up.
void load(benchmark::State& state) {
    FilledFolder filled(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::optional<model::SnippetStore> store;
        store.emplace(filled.files);
        benchmark::DoNotOptimize(store->snippets().data());
        state.PauseTiming();
        if (store->snippets().size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("the snippets file did not load");
        }
        store.reset();
        // Back to the system, as in a process that starts: a start-up touches fresh memory,
        // which costs a page fault per 4 KB, and that is part of what loading costs.
        ::malloc_trim(0);
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = static_cast<double>(filled.bytes);
}

// Encoding and the durable, atomic replacement of the file.
void save(benchmark::State& state) {
    FilledFolder filled(static_cast<std::size_t>(state.range(0)));
    model::SnippetStore store(filled.files);
    for (auto _ : state) {
        store.save();
    }
    state.counters["file_bytes"] = static_cast<double>(filled.bytes);
}

// The encoding alone.
void encode(benchmark::State& state) {
    const auto snippets = makeSnippets(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(model::encodeSnippets(snippets));
    }
}

// The durable write alone, and the same write with no fsync: the difference is what durability
// costs on this machine's disk.
void durableWrite(benchmark::State& state) {
    const ScratchFolder folder;
    posix::PosixFiles files(folder.path());
    const auto document =
        asBytes(model::encodeSnippets(makeSnippets(static_cast<std::size_t>(state.range(0)))));
    const auto path = folder.path() / "written.json";
    for (auto _ : state) {
        if (files.writeAtomically(path, document)) {
            state.SkipWithError("the write failed");
        }
    }
}

void writeWithoutSync(benchmark::State& state) {
    const ScratchFolder folder;
    const auto document =
        asBytes(model::encodeSnippets(makeSnippets(static_cast<std::size_t>(state.range(0)))));
    const std::string path = (folder.path() / "written.json").string();
    const std::string temporary = (folder.path() / ".written.json.tmp").string();
    for (auto _ : state) {
        const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::size_t done = 0;
        while (file >= 0 && done < document.size()) {
            const auto written = ::write(file, document.data() + done, document.size() - done);
            if (written <= 0) {
                break;
            }
            done += static_cast<std::size_t>(written);
        }
        if (file < 0 || done != document.size() || ::close(file) != 0 ||
            ::rename(temporary.c_str(), path.c_str()) != 0) {
            state.SkipWithError("the write failed");
        }
    }
}

// The least a durable write can cost on this disk: one byte written and flushed.
void fsyncOneByte(benchmark::State& state) {
    const ScratchFolder folder;
    const std::string path = (folder.path() / "byte").string();
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (auto _ : state) {
        if (::pwrite(file, "x", 1, 0) != 1 || ::fsync(file) != 0) {
            state.SkipWithError("the write failed");
        }
    }
    ::close(file);
}

BENCHMARK(fsyncOneByte)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

#define QUILLO_FILE_BENCHMARK(name)                                                                \
    BENCHMARK(name)                                                                                \
        ->Arg(10'000)                                                                              \
        ->Arg(100'000)                                                                             \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Repetitions(5)                                                                           \
        ->ReportAggregatesOnly(true)

QUILLO_FILE_BENCHMARK(load);
QUILLO_FILE_BENCHMARK(save);
QUILLO_FILE_BENCHMARK(encode);
QUILLO_FILE_BENCHMARK(durableWrite);
QUILLO_FILE_BENCHMARK(writeWithoutSync);

} // namespace
} // namespace quillo::bench
