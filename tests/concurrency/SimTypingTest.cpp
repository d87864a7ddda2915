// Typing that goes on while expansions are being output, on the simulated desktop: the engine
// takes keys on the main thread while the text replacer's work runs on background workers that
// hand the baton back and forth at every pause. Built with ThreadSanitizer, this checks that
// every hand-over between them is synchronised.
#include "engine/TextReplacer.h"
#include "support/EngineFixture.h"
#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

using model::MacroStep;
using model::Snippet;
using Mode = Snippet::TriggerMode;
using platform::PasteboardItem;
using testing::snippet;
using namespace std::chrono_literals;

PasteboardItem item(std::string type, std::string data) {
    return {{{std::move(type), platform::Bytes(data.begin(), data.end())}}};
}

std::vector<Snippet> snippetsOfEveryKind() {
    auto macro = snippet("mac", Mode::afterDelimiter, "");
    auto typeText = MacroStep::make(MacroStep::StepType::typeText);
    typeText.text = "typed";
    auto pressKey = MacroStep::make(MacroStep::StepType::pressKey);
    pressKey.keyCode = platform::key::returnKey;
    auto wait = MacroStep::make(MacroStep::StepType::wait);
    wait.milliseconds = 5;
    macro.macroSteps = {typeText, pressKey, wait};
    return {snippet("omw", Mode::afterDelimiter, "On my way"),
            snippet("lnk", Mode::afterDelimiter, "<a href='{clipboard}'>{cursor}</a>"),
            snippet("bld", Mode::afterDelimiter, "<b>{selection}</b>"), macro};
}

TEST(ConcurrentTypingSim, KeysKeepComingWhileEveryKindOfExpansionRuns) {
    testing::TemporaryFolder folder;
    sim::SimDesktop desktop{folder.path()};
    const auto services = desktop.services();
    model::SnippetStore store{services.files};
    model::AppSettings settings{services.preferences, services.loginItem};
    store.setSnippets(snippetsOfEveryKind());
    const std::vector<PasteboardItem> usersClipboard = {
        item(std::string(platform::Pasteboard::plainTextType), "https://example.org"),
        item("text/html", "<i>kept</i>")};
    desktop.setPasteboardItems(usersClipboard);

    TextExpansionEngine engine{store, settings, services, std::make_unique<TextReplacer>(services)};
    std::map<std::string, int> started;
    int finished = 0;
    engine.setExpansionListener({
        .started = [&](const Snippet& s, std::size_t) { ++started[s.shortcut]; },
        .finished = [&] { ++finished; },
    });
    engine.start();

    // First every shortcut comes while the one before is still being output (an expansion takes
    // about 300 ms, a key comes every 20 ms), then each after a pause long enough to finish.
    const std::string script = "omw lnk bld mac ";
    for (const bool overlapping : {true, false}) {
        for (const char ch : script) {
            desktop.typeText(std::string(1, ch));
            desktop.runFor(overlapping || ch != ' ' ? 20ms : 1000ms);
        }
    }
    ASSERT_TRUE(desktop.runUntilIdle());

    int total = 0;
    for (const char* shortcut : {"omw", "lnk", "bld", "mac"}) {
        EXPECT_GE(started[shortcut], 1) << shortcut << " never expanded";
        total += started[shortcut];
    }
    EXPECT_EQ(finished, total);
    EXPECT_FALSE(engine.isReplacing());
    EXPECT_EQ(desktop.pasteboardItems(), usersClipboard);
}

} // namespace
} // namespace quillo::engine
