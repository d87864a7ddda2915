// Helpers for the measurements that Google Benchmark cannot make itself (scripts/bench):
//   quillo_bench_tool write-snippets COUNT FILE   writes a snippets document of COUNT snippets
//   quillo_bench_tool type-keys SNIPPETS KEYS     types KEYS key-downs of prose into the engine
//                                                 with SNIPPETS snippets, inside typeProse(),
//                                                 which callgrind counts alone
//                                                 (--toggle-collect='*typeProse*')
#include "BenchSnippets.h"
#include "engine/TextExpansionEngine.h"
#include "model/AppSettings.h"
#include "model/SnippetDocument.h"
#include "model/SnippetStore.h"
#include "platform/sim/SimDesktop.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace quillo::bench {

// Out of line, so that callgrind can count exactly the key-downs and nothing of the set-up.
[[gnu::noinline]] std::size_t typeProse(engine::TextExpansionEngine& engine,
                                        const std::vector<platform::KeyEvent>& keys,
                                        std::size_t count) {
    std::size_t withheld = 0;
    for (std::size_t i = 0; i < count; ++i) {
        withheld += engine.handleKeyEvent(keys[i % keys.size()]) ? 1 : 0;
    }
    return withheld;
}

namespace {

int writeSnippets(std::size_t count, const std::string& file) {
    std::ofstream out(file, std::ios::binary);
    out << model::encodeSnippets(makeSnippets(count));
    return out ? 0 : 1;
}

int typeKeys(std::size_t snippetCount, std::size_t keyCount) {
    const ScratchFolder folder;
    sim::SimDesktop desktop(folder.path());
    auto services = desktop.services();
    model::SnippetStore store(services.files);
    store.setSnippets(makeSnippets(snippetCount));
    model::AppSettings settings(services.preferences, services.loginItem);
    engine::TextExpansionEngine engine(store, settings, services, std::make_unique<NoOutput>());
    const auto keys = proseKeys();
    // The first keys fill the typing buffer and warm what is created on first use.
    for (int round = 0; round < 3; ++round) {
        for (const auto& key : keys) {
            engine.handleKeyEvent(key);
        }
    }
    const std::size_t withheld = typeProse(engine, keys, keyCount);
    std::cout << keyCount << " key-downs, " << withheld << " withheld\n";
    return 0;
}

} // namespace
} // namespace quillo::bench

int main(int argc, char** argv) {
    const auto usage = [] {
        std::cerr << "usage: quillo_bench_tool write-snippets COUNT FILE\n"
                     "       quillo_bench_tool type-keys SNIPPETS KEYS\n";
        return 2;
    };
    if (argc != 4) {
        return usage();
    }
    const std::string_view command = argv[1];
    const auto count = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 10));
    if (command == "write-snippets") {
        return quillo::bench::writeSnippets(count, argv[3]);
    }
    if (command == "type-keys") {
        return quillo::bench::typeKeys(
            count, static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10)));
    }
    return usage();
}
