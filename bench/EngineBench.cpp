// The cost of one key-down in the engine, which runs inside the keyboard callback of every key
// pressed on the machine, against the number of snippets.
#include "engine/TextExpansionEngine.h"
#include "engine/TypingBuffer.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

using namespace quillo;

class NoOutput : public engine::ExpansionOutput {
public:
    engine::ExpandedText expandVariables(const std::string& text,
                                         const std::optional<std::string>&) override {
        return {text, 0};
    }
    void replaceText(std::size_t, std::string, std::size_t, Completion done) override { done(); }
    void replaceWithSelection(std::size_t, std::string, std::optional<std::string>,
                              Completion done) override {
        done();
    }
    void executeMacro(std::size_t, std::vector<model::MacroStep>, Completion done) override {
        done();
    }
};

// Shortcuts like the ones people keep: a few letters, some with punctuation; a third are
// instant, the rest after a delimiter.
std::vector<model::Snippet> makeSnippets(std::size_t count) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> length(3, 8);
    std::vector<model::Snippet> snippets;
    snippets.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto s = model::Snippet::make();
        const int n = length(random);
        for (int j = 0; j < n; ++j) {
            s.shortcut += static_cast<char>(letter(random));
        }
        s.shortcut += std::to_string(i); // never typed below
        s.replacement = "replacement " + std::to_string(i);
        s.triggerMode = i % 3 == 0 ? model::Snippet::TriggerMode::instant
                                   : model::Snippet::TriggerMode::afterDelimiter;
        snippets.push_back(std::move(s));
    }
    return snippets;
}

void keyDown(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "quillo-bench";
    std::filesystem::create_directories(folder);
    sim::SimDesktop desktop(folder);
    auto services = desktop.services();
    model::SnippetStore store(services.files);
    store.setSnippets(makeSnippets(static_cast<std::size_t>(state.range(0))));
    model::AppSettings settings(services.preferences, services.loginItem);
    engine::TextExpansionEngine engine(store, settings, services, std::make_unique<NoOutput>());

    // Ordinary prose: letters and a delimiter now and then.
    const std::string prose = "the quick brown fox jumps over the lazy dog, then naps. ";
    std::vector<platform::KeyEvent> keys;
    for (const char c : prose) {
        keys.push_back(sim::usKeyboard::keyDownFor(static_cast<char32_t>(c)));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine.handleKeyEvent(keys[i]));
        i = (i + 1) % keys.size();
    }
    std::filesystem::remove_all(folder);
}

BENCHMARK(keyDown)
    ->Arg(100)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kNanosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void indexBuild(benchmark::State& state) {
    const auto snippets = makeSnippets(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        engine::ShortcutIndex index(snippets);
        benchmark::DoNotOptimize(index);
    }
}

BENCHMARK(indexBuild)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
