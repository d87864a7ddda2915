// The engine's decisions: which key presses start which expansion, with which backspace count
// and delimiter, and which are withheld. The output side is recorded, not run.
#include "engine/TextReplacer.h"
#include "support/EngineFixture.h"
#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

using model::Snippet;
using Mode = Snippet::TriggerMode;
using sim::SimDesktop;
using namespace std::chrono_literals;
using testing::hotkeySnippet;
using testing::snippet;
namespace usKeyboard = sim::usKeyboard;
namespace flag = platform::flag;
namespace key = platform::key;

// Records what the engine asked for; completes only when the test says so.
class RecordingOutput : public ExpansionOutput {
  public:
    struct Call {
        std::string operation;
        std::size_t backspaces = 0;
        std::string text; // the replacement, template or first typed text
        std::optional<std::string> delimiter;
        std::size_t steps = 0;
    };

    explicit RecordingOutput(std::vector<Call>& calls, std::vector<Completion>& pending)
        : calls_(calls), pending_(pending) {}

    ExpandedText expandVariables(const std::string& templateText,
                                 const std::optional<std::string>& delimiter) override {
        lastDelimiter_ = delimiter;
        return {templateText, 0};
    }
    void replaceText(std::size_t backspaceCount, std::string text, std::size_t,
                     Completion completion) override {
        calls_.push_back({"replaceText", backspaceCount, std::move(text), lastDelimiter_, 0});
        pending_.push_back(std::move(completion));
    }
    void replaceWithSelection(std::size_t backspaceCount, std::string templateText,
                              std::optional<std::string> delimiter,
                              Completion completion) override {
        calls_.push_back({"replaceWithSelection", backspaceCount, std::move(templateText),
                          std::move(delimiter), 0});
        pending_.push_back(std::move(completion));
    }
    void executeMacro(std::size_t backspaceCount, std::vector<model::MacroStep> steps,
                      Completion completion) override {
        calls_.push_back({"executeMacro", backspaceCount,
                          steps.empty() ? std::string() : steps.front().text, std::nullopt,
                          steps.size()});
        pending_.push_back(std::move(completion));
    }

  private:
    std::vector<Call>& calls_;
    std::vector<Completion>& pending_;
    std::optional<std::string> lastDelimiter_;
};

class EngineTest : public ::testing::Test {
  protected:
    void useSnippets(std::vector<Snippet> snippets) { store.setSnippets(std::move(snippets)); }

    // Types each Unicode scalar as the US keyboard would; returns whether any was withheld.
    bool type(std::string_view text) {
        bool withheld = false;
        for (const char32_t ch : unicode::toScalars(text)) {
            withheld |= desktop.press(usKeyboard::keyDownFor(ch));
        }
        return withheld;
    }
    bool press(platform::KeyCode keyCode, platform::EventFlags flags = 0) {
        return desktop.press(usKeyboard::keyDownFor(keyCode, flags));
    }
    void completeAll() {
        auto pending = std::move(completions);
        completions.clear();
        for (auto& completion : pending) {
            completion();
        }
    }

    testing::TemporaryFolder folder;
    SimDesktop desktop{folder.path()};
    platform::Services services = desktop.services();
    model::SnippetStore store{services.files};
    model::AppSettings settings{services.preferences, services.loginItem};
    std::vector<RecordingOutput::Call> calls;
    std::vector<ExpansionOutput::Completion> completions;
    TextExpansionEngine engine{store, settings, services,
                               std::make_unique<RecordingOutput>(calls, completions)};

    void SetUp() override {
        useSnippets({});
        engine.start();
    }
};

struct TypingCase {
    const char* name;
    std::vector<Snippet> snippets;
    std::string typed;
    // The expected expansion: the replacement of the snippet expanded and the backspace count;
    // an empty replacement means nothing expands.
    std::string expanded;
    std::size_t backspaces = 0;
    std::optional<std::string> delimiter = std::nullopt;
    bool appendDelimiter = false;
};

class TypingTable : public EngineTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(TypingTable, ExpandsTheRightSnippet) {
    const auto& c = GetParam();
    settings.setAppendDelimiter(c.appendDelimiter);
    useSnippets(c.snippets);
    EXPECT_FALSE(type(c.typed)) << "typed keys are never withheld";
    if (c.expanded.empty()) {
        EXPECT_TRUE(calls.empty()) << "expanded " << calls.front().text;
        return;
    }
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, c.expanded);
    EXPECT_EQ(calls[0].backspaces, c.backspaces);
    EXPECT_EQ(calls[0].delimiter, c.delimiter);
}

const Snippet omw = snippet("omw", Mode::afterDelimiter, "On my way");

INSTANTIATE_TEST_SUITE_P(
    Engine, TypingTable,
    ::testing::Values(
        TypingCase{"ShortcutAndSpace", {omw}, "omw ", "On my way", 4},
        TypingCase{"FirstInStoreOrderNotLongest",
                   {snippet("mw", Mode::afterDelimiter, "two"), omw},
                   "omw ",
                   "two",
                   3},
        TypingCase{"NoWordBoundaryBefore", {omw}, "xomw ", "On my way", 4},
        TypingCase{"ColonDelimiterDropped", {omw}, "omw:", "On my way", 4},
        TypingCase{"ColonDelimiterReinserted", {omw}, "omw:", "On my way", 4, ":", true},
        TypingCase{"TabIsADelimiter", {omw}, "omw\t", "On my way", 4},
        TypingCase{"ReturnIsNot", {omw}, "omw\n", ""},
        TypingCase{"CaseSensitive", {omw}, "OMW ", ""},
        TypingCase{"NothingWithoutDelimiter", {omw}, "omw", ""},
        TypingCase{"InstantOnLastLetter",
                   {snippet("abc", Mode::instant, "alphabet")},
                   "abc",
                   "alphabet",
                   3},
        TypingCase{"InstantAfterDelimiterTestFails",
                   {snippet(";sig;", Mode::instant, "Signature")},
                   ";sig;",
                   "Signature",
                   5},
        TypingCase{"AfterDelimiterBeatsInstantOnDelimiter",
                   {snippet("x.", Mode::instant, "instant"),
                    snippet("x", Mode::afterDelimiter, "delimited")},
                   "x.",
                   "delimited",
                   2},
        TypingCase{"EmptyAfterDelimiterShortcutNeverFires",
                   {snippet("", Mode::afterDelimiter, "boom")},
                   "hello world ",
                   ""},
        TypingCase{"EmptyInstantShortcutNeverFires", {snippet("", Mode::instant, "boom")}, "a", ""},
        TypingCase{"DisabledSnippetIgnored",
                   {[] {
                       auto s = omw;
                       s.isEnabled = false;
                       return s;
                   }()},
                   "omw ",
                   ""},
        TypingCase{"DecomposedTypingMatchesPrecomposedShortcut",
                   {snippet("caf\u00e9", Mode::afterDelimiter, "coffee")},
                   "cafe\u0301 ",
                   "coffee",
                   5},
        TypingCase{"PrecomposedTypingMatchesDecomposedShortcut",
                   {snippet("cafe\u0301", Mode::instant, "coffee")},
                   "caf\u00e9",
                   "coffee",
                   4},
        TypingCase{"EmojiCountsAsOneCharacter",
                   {snippet("\U0001F44Dx", Mode::afterDelimiter, "thumbs")},
                   "\U0001F44Dx.",
                   "thumbs",
                   3},
        TypingCase{"HotkeySnippetShortcutNotTyped",
                   {[] {
                       auto s = hotkeySnippet(key::m, flag::control, "hot");
                       s.shortcut = "hk";
                       return s;
                   }()},
                   "hk ",
                   ""}),
    testing::CaseName());

TEST_F(EngineTest, SameShortcutResolvesToFirstSnippetOfAnyMode) {
    // The instant snippet is kept out of the first application, so typing the shortcut there
    // does not fire it; the buffer survives the switch, and the delimiter then matches the
    // after-delimiter snippet, whose shortcut the instant one (first in order) also has.
    auto instant = snippet("omw", Mode::instant, "instant");
    instant.allowedApps = {"org.example.editor"};
    useSnippets({instant, snippet("omw", Mode::afterDelimiter, "delimited")});
    desktop.setFrontmostApplication("org.example.other");
    type("omw");
    EXPECT_TRUE(calls.empty());
    desktop.setFrontmostApplication("org.example.editor");
    type(" ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "instant");
    EXPECT_EQ(calls[0].backspaces, 4u);
}

TEST_F(EngineTest, BlockedFirstCandidateStopsMatching) {
    auto blocked = snippet("omw", Mode::afterDelimiter, "first");
    blocked.blockedApps = {"org.example.editor"};
    useSnippets({blocked, snippet("omw", Mode::afterDelimiter, "second")});
    desktop.setFrontmostApplication("org.example.editor");
    type("omw ");
    EXPECT_TRUE(calls.empty());
}

struct FilterCase {
    const char* name;
    std::optional<std::string> frontmost;
    std::vector<std::string> allowed;
    std::vector<std::string> blocked;
    bool allowedHere;
};

class FilterTable : public EngineTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(FilterTable, AppliesTheApplicationFilter) {
    const auto& c = GetParam();
    auto s = omw;
    s.allowedApps = c.allowed;
    s.blockedApps = c.blocked;
    desktop.setFrontmostApplication(c.frontmost);
    EXPECT_EQ(engine.isAllowedInFrontmostApp(s), c.allowedHere);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, FilterTable,
    ::testing::Values(FilterCase{"NoLists", "gedit", {}, {}, true},
                      FilterCase{"NoFrontmostApplication", std::nullopt, {"gedit"}, {}, true},
                      FilterCase{"EmptyApplicationId", "", {"gedit"}, {}, true},
                      FilterCase{"AllowedListed", "gedit", {"kate", "gedit"}, {}, true},
                      FilterCase{"AllowedNotListed", "kate", {"gedit"}, {}, false},
                      FilterCase{"BlockedListed", "gedit", {}, {"gedit"}, false},
                      FilterCase{"BlockedNotListed", "kate", {}, {"gedit"}, true},
                      FilterCase{"AllowedListDecidesAlone", "gedit", {"gedit"}, {"gedit"}, true},
                      FilterCase{"ExactComparison", "Gedit", {"gedit"}, {}, false}),
    testing::CaseName());

TEST_F(EngineTest, HotkeyFiresAndIsWithheldWithOrWithoutCapsLock) {
    useSnippets({hotkeySnippet(key::m, flag::control | flag::option, "On my way!")});
    EXPECT_TRUE(press(key::m, flag::control | flag::option));
    completeAll();
    EXPECT_TRUE(press(key::m, flag::control | flag::option | flag::capsLock));
    completeAll();
    EXPECT_FALSE(press(key::m, flag::control | flag::option | flag::shift));
    EXPECT_FALSE(press(key::m, flag::control));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].backspaces, 0u);
    EXPECT_EQ(calls[0].delimiter, std::nullopt);
}

TEST_F(EngineTest, HotkeyTriesTheNextSnippetWhenTheFirstIsBlocked) {
    auto first = hotkeySnippet(key::m, flag::control, "first");
    first.blockedApps = {"gedit"};
    useSnippets({first, hotkeySnippet(key::m, flag::control, "second")});
    desktop.setFrontmostApplication("gedit");
    EXPECT_TRUE(press(key::m, flag::control));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "second");
}

TEST_F(EngineTest, TheTapIsToldOfEveryHotkeyThatCanFireAndOnlyThose) {
    const auto with = [](auto change) {
        auto snippet = hotkeySnippet(key::m, flag::control, "x");
        change(snippet);
        return snippet;
    };
    useSnippets({
        hotkeySnippet(key::a, flag::control | flag::shift, "first"),
        with([](Snippet& s) { s.isEnabled = false; }),
        with([](Snippet& s) { s.triggerMode = Mode::afterDelimiter; }),
        with([](Snippet& s) { s.hotkeyModifiers.reset(); }),
        // Key codes that no key has (only an edited file can hold one).
        with([](Snippet& s) { s.hotkeyKeyCode = 65536 + key::m; }),
        with([](Snippet& s) { s.hotkeyKeyCode = -1; }),
        hotkeySnippet(key::a, flag::control | flag::shift, "the same combination again"),
        hotkeySnippet(key::v, flag::option, "second"),
    });
    EXPECT_EQ(desktop.hotkeys(),
              (std::vector<platform::Hotkey>{{key::a, flag::control | flag::shift},
                                             {key::v, flag::option}}));
    EXPECT_FALSE(press(key::m, flag::control));
    EXPECT_FALSE(press(0xFFFF, flag::control));
    EXPECT_TRUE(calls.empty());

    useSnippets({});
    EXPECT_TRUE(desktop.hotkeys().empty());
}

TEST_F(EngineTest, BufferFollowsEditingKeys) {
    type("omw");
    press(key::backspace);
    EXPECT_EQ(engine.typingBuffer().buffer(), "om");
    for (const auto reset :
         {key::leftArrow, key::rightArrow, key::upArrow, key::downArrow, key::escape}) {
        type("abc");
        press(reset);
        EXPECT_EQ(engine.typingBuffer().buffer(), "") << reset;
    }
    press(key::backspace);
    EXPECT_EQ(engine.typingBuffer().buffer(), "");
    type("ab");
    desktop.changeModifiers(flag::shift);
    desktop.changeModifiers(flag::option);
    EXPECT_EQ(engine.typingBuffer().buffer(), "ab");
    press(key::c, flag::command);
    EXPECT_EQ(engine.typingBuffer().buffer(), "");
    type("ab");
    press(key::a, flag::control);
    EXPECT_EQ(engine.typingBuffer().buffer(), "");
}

TEST_F(EngineTest, BufferSurvivesPeriodsWhenNothingIsWatched) {
    useSnippets({omw});
    type("om");
    settings.setExpansionEnabled(false);
    type("zzz ");
    settings.setExpansionEnabled(true);
    desktop.setSecureInput(true);
    type("secret");
    desktop.setSecureInput(false);
    settings.setRecordingHotkey(true);
    type("xyz");
    settings.setRecordingHotkey(false);
    type("w ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].backspaces, 4u);
}

TEST_F(EngineTest, SecureInputPassesEverythingIncludingHotkeys) {
    useSnippets({omw, hotkeySnippet(key::m, flag::control, "hot")});
    desktop.setSecureInput(true);
    EXPECT_FALSE(type("omw "));
    EXPECT_FALSE(press(key::m, flag::control));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(engine.typingBuffer().buffer(), "");
}

TEST_F(EngineTest, KeysDuringAnExpansionAreHeldAndTypedAfterIt) {
    useSnippets({omw});
    type("omw ");
    ASSERT_TRUE(engine.isReplacing());
    EXPECT_TRUE(type("omw ")) << "held from the application";
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(engine.typingBuffer().buffer(), "");
    EXPECT_EQ(desktop.field().text(), "omw ");
    completeAll();
    // Handed over as typed now: the second shortcut reaches the field and expands in turn.
    EXPECT_EQ(desktop.field().text(), "omw omw ");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].backspaces, 4u);
    completeAll();
    EXPECT_FALSE(desktop.holding());
    EXPECT_FALSE(type("x"));
}

TEST_F(EngineTest, ClicksAndWindowChangesEndTheShortcut) {
    useSnippets({omw});
    type("om");
    desktop.click();
    type("w ");
    type("om");
    desktop.focusOn("org.example.Other");
    type("w ");
    EXPECT_TRUE(calls.empty());
    type("omw ");
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(EngineTest, MacroNeverGetsTheDelimiterBack) {
    auto macro = snippet("mac", Mode::afterDelimiter, "ignored");
    macro.macroSteps = {model::MacroStep::make(model::MacroStep::StepType::typeText)};
    macro.macroSteps[0].text = "typed";
    useSnippets({macro});
    settings.setAppendDelimiter(true);
    type("mac ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, "executeMacro");
    EXPECT_EQ(calls[0].backspaces, 4u);
    EXPECT_EQ(calls[0].text, "typed");
}

TEST_F(EngineTest, SelectionTemplatesCopyTheSelectionFirst) {
    useSnippets({snippet("bold", Mode::afterDelimiter, "<b>{selection}</b>")});
    settings.setAppendDelimiter(true);
    type("bold.");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, "replaceWithSelection");
    EXPECT_EQ(calls[0].backspaces, 5u);
    EXPECT_EQ(calls[0].delimiter, ".");
}

TEST_F(EngineTest, SoundAfterCompletionOnlyWhenAsked) {
    useSnippets({omw});
    type("omw ");
    completeAll();
    EXPECT_TRUE(desktop.playedSounds().empty());
    settings.setPlaySoundOnExpansion(true);
    type("omw ");
    completeAll();
    EXPECT_EQ(desktop.playedSounds(), std::vector<std::string>{"Pop"});
}

TEST_F(EngineTest, ChangesToTheListTakeEffectAtTheNextKey) {
    useSnippets({omw});
    type("om");
    auto edited = store.snippets();
    edited[0].shortcut = "omx";
    store.update(edited[0]);
    type("x ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].backspaces, 4u);
}

TEST_F(EngineTest, CompletionAfterTheEngineIsGoneDoesNothing) {
    std::vector<RecordingOutput::Call> otherCalls;
    std::vector<ExpansionOutput::Completion> otherCompletions;
    useSnippets({omw});
    {
        TextExpansionEngine other{store, settings, services,
                                  std::make_unique<RecordingOutput>(otherCalls, otherCompletions)};
        other.start();
        type("omw ");
    }
    settings.setPlaySoundOnExpansion(true);
    ASSERT_EQ(otherCompletions.size(), 1u);
    otherCompletions[0]();
    EXPECT_TRUE(desktop.playedSounds().empty());
    // The tap outlives the engine that installed it: events pass.
    EXPECT_FALSE(type("omw "));
}

// Whole expansions on the simulated desktop, the real replacer writing, while the user goes on
// typing: the keys typed meanwhile are held and handed over afterwards; those that got through
// before the hold took effect are taken back and typed again; a macro's long Wait and the hold's
// limit let keys through as they come.
struct HeldCase {
    const char* name;
    std::vector<Snippet> snippets;
    // Scripts the user's actions, in virtual milliseconds.
    std::function<void(SimDesktop&)> user;
    std::string fieldText;
    std::chrono::milliseconds holdLatency{0};
};

class HeldTable : public ::testing::TestWithParam<HeldCase> {
  protected:
    testing::TemporaryFolder folder;
    SimDesktop desktop{folder.path()};
    platform::Services services = desktop.services();
    model::SnippetStore store{services.files};
    model::AppSettings settings{services.preferences, services.loginItem};
};

// Types `text` from `fromMs` on, one key every `everyMs`.
void typeAt(SimDesktop& desktop, int fromMs, std::string_view text, int everyMs = 10) {
    int at = fromMs;
    for (const char32_t ch : unicode::toScalars(text)) {
        desktop.pressAt(std::chrono::milliseconds(at), usKeyboard::keyDownFor(ch));
        at += everyMs;
    }
}

model::MacroStep typeStep(std::string text) {
    auto step = model::MacroStep::make(model::MacroStep::StepType::typeText);
    step.text = std::move(text);
    return step;
}

model::MacroStep waitStep(std::int64_t ms) {
    auto step = model::MacroStep::make(model::MacroStep::StepType::wait);
    step.milliseconds = ms;
    return step;
}

Snippet macro(std::string shortcut, std::vector<model::MacroStep> steps) {
    auto s = snippet(std::move(shortcut), Mode::afterDelimiter, "");
    s.macroSteps = std::move(steps);
    return s;
}

TEST_P(HeldTable, FieldEndsWith) {
    const auto& c = GetParam();
    store.setSnippets(c.snippets);
    desktop.setHoldLatency(c.holdLatency);
    TextExpansionEngine engine{store, settings, services, std::make_unique<TextReplacer>(services)};
    engine.start();
    c.user(desktop);
    ASSERT_TRUE(desktop.runUntilIdle());
    EXPECT_EQ(desktop.field().text(), c.fieldText);
    EXPECT_FALSE(desktop.holding());
}

INSTANTIATE_TEST_SUITE_P(
    Engine, HeldTable,
    ::testing::Values(
        HeldCase{"LetterThroughBeforeTheHoldIsTypedAgain",
                 {omw},
                 [](SimDesktop& d) { typeAt(d, 0, "omw s"); },
                 "On my ways",
                 25ms},
        HeldCase{"ReturnThroughBeforeTheHoldDropsTheExpansion",
                 {omw},
                 [](SimDesktop& d) {
                     typeAt(d, 0, "omw ");
                     d.pressAt(40ms, usKeyboard::keyDownFor(key::returnKey, 0));
                 },
                 "omw \n",
                 25ms},
        HeldCase{"ReplayedKeysMeetThePasswordRules",
                 {omw},
                 [](SimDesktop& d) {
                     typeAt(d, 0, "omw ");
                     typeAt(d, 60, "omw ");
                     d.doAt(50ms, [&d] { d.setSecureInput(true); });
                 },
                 "On my wayomw "},
        HeldCase{"KeysTypedDuringAWaitGoThroughAsTheyCome",
                 {macro("mac", {typeStep("A"), waitStep(2000), typeStep("B")})},
                 [](SimDesktop& d) {
                     typeAt(d, 0, "mac ");
                     typeAt(d, 1000, "x");
                 },
                 "AxB"},
        HeldCase{"KeysBeforeAWaitAreHandedOverWhenItBegins",
                 {macro("mac", {typeStep("A"), waitStep(2000), typeStep("B")})},
                 [](SimDesktop& d) { typeAt(d, 0, "mac yz"); },
                 "AyzB"},
        HeldCase{"TheHoldEndsAfterASecond",
                 {macro("mac", std::vector<model::MacroStep>(30, typeStep("b")))},
                 [](SimDesktop& d) { typeAt(d, 0, "mac x"); },
                 // Released at 1030 ms (the space at 30 ms): after the 18 b's typed by then.
                 std::string(18, 'b') + "x" + std::string(12, 'b')}),
    testing::CaseName());

} // namespace
} // namespace quillo::engine
