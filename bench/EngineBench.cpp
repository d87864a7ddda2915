// The cost of one key-down in the engine, which runs inside the keyboard callback of every key
// pressed on the machine, against the number of snippets; and the cost of the index that keeps
// it flat, which is rebuilt whenever the list changes.
#include "BenchSnippets.h"
#include "engine/ShortcutIndex.h"
#include "engine/TextExpansionEngine.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <vector>

namespace quillo::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The value below which `fraction` of the samples lie.
double percentile(std::vector<std::int64_t>& samples, double fraction) {
    const auto at = static_cast<std::ptrdiff_t>(fraction * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + at, samples.end());
    return static_cast<double>(samples[static_cast<std::size_t>(at)]);
}

// What reading the clock twice costs by itself, taken off every sample.
std::int64_t clockOverhead() {
    std::vector<std::int64_t> samples(100'000);
    for (auto& sample : samples) {
        const auto start = Clock::now();
        sample = (Clock::now() - start).count();
    }
    return static_cast<std::int64_t>(percentile(samples, 0.5));
}

// Each call is timed on its own: the tail matters as much as the mean, since a slow callback
// is what gets a keyboard tap switched off.
void keyDown(benchmark::State& state) {
    const ScratchFolder folder;
    sim::SimDesktop desktop(folder.path());
    auto services = desktop.services();
    model::SnippetStore store(services.files);
    store.setSnippets(makeSnippets(static_cast<std::size_t>(state.range(0))));
    model::AppSettings settings(services.preferences, services.loginItem);
    engine::TextExpansionEngine engine(store, settings, services, std::make_unique<NoOutput>());
    const auto keys = proseKeys();
    // A full typing buffer, as after a minute of typing.
    for (int round = 0; round < 3; ++round) {
        for (const auto& key : keys) {
            engine.handleKeyEvent(key);
        }
    }

    const std::int64_t overhead = clockOverhead();
    std::vector<std::int64_t> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    std::size_t i = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(engine.handleKeyEvent(keys[i]));
        const auto end = Clock::now();
        samples.push_back(std::max<std::int64_t>(0, (end - start).count() - overhead));
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
    state.counters["p50_ns"] = percentile(samples, 0.50);
    state.counters["p99_ns"] = percentile(samples, 0.99);
    state.counters["p999_ns"] = percentile(samples, 0.999);
}

BENCHMARK(keyDown)->Arg(100)->Arg(10'000)->Arg(100'000)->Iterations(500'000)->Unit(
    benchmark::kNanosecond);

void indexBuild(benchmark::State& state) {
    const auto snippets = makeSnippets(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        engine::ShortcutIndex index(snippets);
        benchmark::DoNotOptimize(index);
    }
}

BENCHMARK(indexBuild)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace quillo::bench
