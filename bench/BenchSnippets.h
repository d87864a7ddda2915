// Snippet lists shaped like the ones people keep, and the typing that runs over them, shared by
// the benchmarks and the tool that callgrind and the memory measurement run.
#pragma once

#include "engine/ExpansionOutput.h"
#include "model/Snippet.h"
#include "platform/Platform.h"
#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::bench {

// Shortcuts of a few letters with a number (never typed by the prose below, so that the key path
// measured is the common one: nothing matches); a third instant, a few hotkeys, app lists and
// macros; replacements of a sentence or a paragraph. Always the same list for the same count.
inline std::vector<model::Snippet> makeSnippets(std::size_t count) {
    using Mode = model::Snippet::TriggerMode;
    std::mt19937 random(42);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    static constexpr std::string_view words[] = {
        "thank",   "you",     "for", "your",   "message", "regards", "the",
        "meeting", "address", "is",  "street", "please",  "find",    "attached",
        "best",    "on",      "my",  "way",    "call",    "tomorrow"};
    std::vector<model::Snippet> snippets;
    snippets.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto s = model::Snippet::make();
        for (int n = pick(3, 8); n > 0; --n) {
            s.shortcut += static_cast<char>(pick('a', 'z'));
        }
        s.shortcut += std::to_string(i);
        for (int n = pick(3, 30); n > 0; --n) {
            s.replacement += words[pick(0, std::size(words) - 1)];
            s.replacement += n == 1 ? "." : " ";
        }
        s.triggerMode = i % 3 == 0 ? Mode::instant : Mode::afterDelimiter;
        if (i % 50 == 7) {
            s.triggerMode = Mode::hotkey;
            s.hotkeyKeyCode = pick(0, 50);
            s.hotkeyModifiers = platform::flag::control | platform::flag::option;
        }
        if (i % 20 == 3) {
            s.allowedApps = {"org.gnome.TextEditor"};
        } else if (i % 20 == 9) {
            s.blockedApps = {"org.gnome.Terminal", "org.kde.konsole"};
        }
        if (i % 100 == 11) {
            auto step = model::MacroStep::make(model::MacroStep::StepType::typeText);
            step.text = "Dear ";
            s.macroSteps = {step, model::MacroStep::make(model::MacroStep::StepType::wait)};
        }
        snippets.push_back(std::move(s));
    }
    return snippets;
}

// Ordinary prose: letters and a delimiter now and then, as key-downs of the US keyboard.
inline std::vector<platform::KeyEvent> proseKeys() {
    const std::string_view prose = "the quick brown fox jumps over the lazy dog, then naps. ";
    std::vector<platform::KeyEvent> keys;
    for (const char c : prose) {
        keys.push_back(sim::usKeyboard::keyDownFor(static_cast<char32_t>(c)));
    }
    return keys;
}

// Completes every expansion at once: only the engine's decision is measured.
class NoOutput : public engine::ExpansionOutput {
  public:
    engine::ExpandedText expandVariables(const std::string& text,
                                         const std::optional<std::string>&) override {
        return {text, 0};
    }
    void replaceText(engine::Erasure, std::string, std::size_t, Completion done) override {
        done();
    }
    void replaceWithSelection(engine::Erasure, std::string, std::optional<std::string>,
                              Completion done) override {
        done();
    }
    void executeMacro(engine::Erasure, std::vector<model::MacroStep>, Completion done) override {
        done();
    }
};

// A folder of its own under the temporary folder, removed afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillo-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The nearest-rank percentile of the samples: the smallest that at least `fraction` of them do
// not exceed.
inline double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

} // namespace quillo::bench
