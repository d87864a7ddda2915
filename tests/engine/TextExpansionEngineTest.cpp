// The engine's decisions: which key presses start which expansion, with which backspace count
// and delimiter, and which are withheld. The output side is recorded, not run, except in the
// whole expansions at the end.
#include "engine/TextReplacer.h"
#include "support/EngineFixture.h"
#include "unicode/UnicodeText.h"

#include <functional>
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
using Calls = std::vector<std::string>;

// Records each expansion asked for as "[kind ]backspaces text", the expanded text ending in
// "|" and the delimiter handed on, if any, and a macro as the text of its steps; each completes
// only when the test says so.
class RecordingOutput : public ExpansionOutput {
  public:
    RecordingOutput(Calls& calls, std::vector<Completion>& pending)
        : calls_(calls), pending_(pending) {}

    ExpandedText expandVariables(const std::string& templateText,
                                 const std::optional<std::string>& delimiter) override {
        return {templateText + (delimiter ? "|" + *delimiter : ""), 0};
    }
    void replaceText(Erasure erasure, std::string text, std::size_t,
                     Completion completion) override {
        record("", erasure, text, std::move(completion));
    }
    void replaceWithSelection(Erasure erasure, std::string templateText,
                              std::optional<std::string> delimiter,
                              Completion completion) override {
        record("selection ", erasure, expandVariables(templateText, delimiter).text,
               std::move(completion));
    }
    void executeMacro(Erasure erasure, std::vector<model::MacroStep> steps,
                      Completion completion) override {
        std::string text;
        for (const auto& step : steps) {
            text += step.text;
        }
        record("macro ", erasure, text, std::move(completion));
    }

  private:
    // Erasures of as many code points as characters show one number, others both ("3/4").
    void record(const std::string& kind, Erasure erasure, const std::string& text,
                Completion completion) {
        const std::string erased =
            std::to_string(erasure.characters) + (erasure.codePoints == erasure.characters
                                                      ? ""
                                                      : "/" + std::to_string(erasure.codePoints));
        calls_.push_back(kind + erased + " " + text);
        pending_.push_back(std::move(completion));
    }

    Calls& calls_;
    std::vector<Completion>& pending_;
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
        for (auto& completion : std::exchange(completions, {})) {
            completion();
        }
    }
    const std::string& buffer() { return engine.typingBuffer().buffer(); }

    testing::TemporaryFolder folder;
    SimDesktop desktop{folder.path()};
    platform::Services services = desktop.services();
    model::SnippetStore store{services.files};
    model::AppSettings settings{services.preferences, services.loginItem};
    Calls calls;
    std::vector<ExpansionOutput::Completion> completions;
    TextExpansionEngine engine{store, settings, services,
                               std::make_unique<RecordingOutput>(calls, completions)};

    void SetUp() override {
        useSnippets({});
        engine.start();
    }
};

Snippet delimited(std::string shortcut, std::string text) {
    return snippet(std::move(shortcut), Mode::afterDelimiter, std::move(text));
}
Snippet with(Snippet s, const std::function<void(Snippet&)>& change) {
    change(s);
    return s;
}
Snippet macro(std::string shortcut, std::vector<model::MacroStep> steps) {
    return with(delimited(std::move(shortcut), "ignored"),
                [&](Snippet& s) { s.macroSteps = std::move(steps); });
}

const Snippet omw = delimited("omw", "On my way");
const std::vector<std::string> editors = {"vim", "gedit"};

// Typing in "gedit", the delimiter given back; `expanded` is the one expansion expected, empty
// for none. IndexAgreementTest holds the matching rules to a reference on random typing; these
// are the cases it does not reach or that must never regress unseen.
struct TypingCase {
    const char* name;
    std::string typed;
    std::string expanded;
    std::vector<Snippet> snippets;
};

class TypingTable : public EngineTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(TypingTable, ExpandsTheRightSnippet) {
    const auto& c = GetParam();
    settings.setAppendDelimiter(true);
    desktop.setFrontmostApplication("gedit");
    useSnippets(c.snippets);
    EXPECT_FALSE(type(c.typed)) << "typed keys are never withheld";
    EXPECT_EQ(calls, c.expanded.empty() ? Calls{} : Calls{c.expanded});
}

INSTANTIATE_TEST_SUITE_P(
    Engine, TypingTable,
    ::testing::Values(
        // Backspaces for the shortcut and its delimiter, which is handed on.
        TypingCase{"ShortcutAndSpace", "omw ", "4 On my way| ", std::vector{omw}},
        // The first match in store order wins, not the longest.
        TypingCase{"FirstInStoreOrderNotLongest", "omw ", "3 two| ",
                   std::vector{delimited("mw", "two"), omw}},
        TypingCase{"ColonDelimiter", "omw:", "4 On my way|:", std::vector{omw}},
        // An accent typed after its letter is one character and two code points to erase.
        TypingCase{"DecomposedAccentErasesItsCodePoints", "cafe\u0301 ", "5/6 Coffee| ",
                   std::vector{delimited("caf\u00e9", "Coffee")}},
        TypingCase{"TabIsADelimiter", "omw\t", "4 On my way|\t", std::vector{omw}},
        // The application filters; a blocked first candidate stops the search.
        TypingCase{"AllowedAmongOthers", "omw ", "4 On my way| ",
                   std::vector{with(omw, [](Snippet& s) { s.allowedApps = editors; })}},
        TypingCase{"ApplicationsComparedExactly", "omw ", "",
                   std::vector{with(omw, [](Snippet& s) { s.allowedApps = {"Gedit"}; })}},
        TypingCase{"BlockedFirstCandidateStopsMatching", "omw ", "",
                   std::vector{with(omw, [](Snippet& s) { s.blockedApps = {"gedit"}; }),
                               delimited("omw", "second")}},
        TypingCase{"MacroNeverGetsTheDelimiterBack", "mac ", "macro 4 typed",
                   std::vector{macro("mac", {{.text = "typed"}})}},
        TypingCase{"SelectionTemplatesCopyTheSelectionFirst", "bold.",
                   "selection 5 <b>{selection}</b>|.",
                   std::vector{delimited("bold", "<b>{selection}</b>")}}),
    testing::CaseName());

TEST_F(EngineTest, HotkeysFireAndTheTapIsToldOfEveryOneThatCanAndOnlyThose) {
    const auto both = flag::control | flag::option;
    const auto ctrlM = [](const std::function<void(Snippet&)>& change) {
        return with(hotkeySnippet(key::m, flag::control, "x"), change);
    };
    useSnippets({
        // Where the first snippet on a combination is blocked, the next one fires.
        with(hotkeySnippet(key::m, both, "first"), [](Snippet& s) { s.blockedApps = {"gedit"}; }),
        hotkeySnippet(key::m, both, "second"),
        ctrlM([](Snippet& s) { s.isEnabled = false; }),
        ctrlM([](Snippet& s) { s.triggerMode = Mode::afterDelimiter; }),
        ctrlM([](Snippet& s) { s.hotkeyModifiers.reset(); }),
        // Key codes that no key has (only an edited file can hold one).
        ctrlM([](Snippet& s) { s.hotkeyKeyCode = 65536 + key::m; }),
        ctrlM([](Snippet& s) { s.hotkeyKeyCode = -1; }),
        hotkeySnippet(key::v, flag::option, "third"),
    });
    EXPECT_EQ(desktop.hotkeys(),
              (std::vector<platform::Hotkey>{{key::m, both}, {key::v, flag::option}}));
    EXPECT_TRUE(press(key::m, both));
    completeAll();
    desktop.setFrontmostApplication("gedit");
    EXPECT_TRUE(press(key::m, both | flag::capsLock));
    completeAll();
    EXPECT_FALSE(press(key::m, both | flag::shift));
    EXPECT_FALSE(press(key::m, flag::control));
    EXPECT_FALSE(press(0xFFFF, flag::control));
    EXPECT_EQ(calls, (Calls{"0 first", "0 second"}));
    useSnippets({});
    EXPECT_TRUE(desktop.hotkeys().empty());
}

// The editing keys and the settings are held to the reference too; not clicks, focus changes or
// what survives a password field.
TEST_F(EngineTest, BufferFollowsBackspaceClicksAndWindowChanges) {
    type("omw");
    press(key::backspace);
    desktop.changeModifiers(flag::shift);
    EXPECT_EQ(buffer(), "om");
    desktop.click();
    EXPECT_EQ(buffer(), "");
    type("om");
    desktop.focusOn("org.example.Other");
    EXPECT_EQ(buffer(), "");
}

TEST_F(EngineTest, SecureInputPassesEverythingAndKeepsTheTypingBefore) {
    useSnippets({omw, hotkeySnippet(key::m, flag::control, "hot")});
    type("om");
    desktop.setSecureInput(true);
    EXPECT_FALSE(type("omw "));
    EXPECT_FALSE(press(key::m, flag::control)) << "hotkeys pass too";
    desktop.setSecureInput(false);
    type("w ");
    EXPECT_EQ(calls, Calls{"4 On my way"});
}

// A snippet's own shortcut must be writable in Quillo's windows: nothing there expands, and a
// hotkey reaches the window.
TEST_F(EngineTest, QuillosOwnWindowsNeverExpand) {
    useSnippets({omw, hotkeySnippet(key::m, flag::control, "hot")});
    desktop.setOwnWindowFocused(true);
    EXPECT_FALSE(type("omw "));
    EXPECT_FALSE(press(key::m, flag::control));
    EXPECT_TRUE(calls.empty());
    desktop.setOwnWindowFocused(false);
    EXPECT_TRUE(press(key::m, flag::control));
}

// A desktop may name one application two ways (on Linux the X11 window class and the launcher's
// id in a Wayland session): a filter holding any of its names applies to it.
TEST_F(EngineTest, AFilterHoldsAnyNameOfTheApplicationInFront) {
    const struct {
        const char* name;
        std::vector<std::string> allowed;
        std::vector<std::string> blocked;
        bool expands;
    } cases[] = {
        {"allowed by its id", {"org.gnome.Zenity"}, {}, true},
        {"allowed by its alias", {"Zenity"}, {}, true},
        {"allowed elsewhere only", {"Gedit", "zenity"}, {}, false},
        {"blocked by its alias", {}, {"Zenity"}, false},
        {"blocked by its id", {}, {"org.gnome.Zenity"}, false},
        {"blocked elsewhere only", {}, {"org.gnome.gedit"}, true},
    };
    desktop.setFrontmostApplication("org.gnome.Zenity", {"Zenity"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        useSnippets({with(omw, [&](Snippet& s) {
            s.allowedApps = c.allowed;
            s.blockedApps = c.blocked;
        })});
        type("omw ");
        completeAll();
        EXPECT_EQ(calls.size(), c.expands ? 1u : 0u);
    }
}

// Inserting by name (the search window, `quillo insert`) erases nothing and keeps the rules of
// typing; the refusals come in the order a person can act on.
TEST_F(EngineTest, InsertWritesAChosenSnippetUnderTheRulesOfTyping) {
    using Refusal = TextExpansionEngine::InsertRefusal;
    const Snippet blocked = with(omw, [](Snippet& s) { s.blockedApps = {"gedit"}; });
    const Snippet off = with(omw, [](Snippet& s) { s.isEnabled = false; });
    type("om");
    EXPECT_EQ(engine.insert(omw), std::nullopt);
    EXPECT_EQ(buffer(), "") << "what was typed before is not in front of the text any more";
    EXPECT_EQ(engine.insert(omw), Refusal::busy);
    completeAll();
    EXPECT_EQ(engine.insert(off), Refusal::disabled);
    desktop.setFrontmostApplication("gedit");
    EXPECT_EQ(engine.insert(blocked), Refusal::notAllowedHere);
    desktop.setSecureInput(true);
    EXPECT_EQ(engine.insert(blocked), Refusal::passwordField);
    settings.setExpansionEnabled(false);
    EXPECT_EQ(engine.insert(off), Refusal::expansionOff);
    EXPECT_EQ(calls, Calls{"0 On my way"});
}

// The search window's hotkey: a snippet on the same combination keeps it; in Quillo's own
// windows and password fields it passes.
TEST_F(EngineTest, TheActionHotkeyRunsWhereNoSnippetTakesIt) {
    const auto ctrlAlt = flag::control | flag::option;
    int actions = 0;
    engine.setActionHotkey(platform::Hotkey{key::space, ctrlAlt}, [&] { ++actions; });
    EXPECT_EQ(desktop.hotkeys(), (std::vector<platform::Hotkey>{{key::space, ctrlAlt}}));
    EXPECT_TRUE(press(key::space, ctrlAlt));
    EXPECT_EQ(actions, 1);
    desktop.setOwnWindowFocused(true);
    EXPECT_FALSE(press(key::space, ctrlAlt));
    desktop.setOwnWindowFocused(false);
    desktop.setSecureInput(true);
    EXPECT_FALSE(press(key::space, ctrlAlt));
    desktop.setSecureInput(false);
    useSnippets({hotkeySnippet(key::space, ctrlAlt, "mine")});
    EXPECT_EQ(desktop.hotkeys().size(), 1u);
    EXPECT_TRUE(press(key::space, ctrlAlt));
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(calls, Calls{"0 mine"});
}

TEST_F(EngineTest, KeysDuringAnExpansionAreHeldAndTypedAfterIt) {
    useSnippets({omw});
    settings.setPlaySoundOnExpansion(true);
    type("omw ");
    ASSERT_TRUE(engine.isReplacing());
    EXPECT_TRUE(type("omw ")) << "held from the application";
    EXPECT_EQ(buffer(), "");
    EXPECT_EQ(desktop.field().text(), "omw ");
    completeAll();
    // Handed over as typed now: the second shortcut reaches the field and expands in turn.
    EXPECT_EQ(desktop.field().text(), "omw omw ");
    EXPECT_EQ(calls, (Calls{"4 On my way", "4 On my way"}));
    completeAll();
    EXPECT_EQ(desktop.playedSounds(), (std::vector<std::string>{"Pop", "Pop"}));
    EXPECT_FALSE(desktop.holding());
    EXPECT_FALSE(type("x"));
}

TEST_F(EngineTest, CompletionAfterTheEngineIsGoneDoesNothing) {
    useSnippets({omw});
    {
        TextExpansionEngine other{store, settings, services,
                                  std::make_unique<RecordingOutput>(calls, completions)};
        other.start();
        type("omw ");
    }
    settings.setPlaySoundOnExpansion(true);
    ASSERT_EQ(completions.size(), 1u);
    completeAll();
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
    std::string typed; // from 0 ms on, one key every 10 ms
    std::string fieldText;
    std::vector<Snippet> snippets;
    std::chrono::milliseconds holdLatency = 0ms;
    std::chrono::milliseconds laterAt = 0ms; // more typing from then on
    std::string later = "";
    std::optional<std::chrono::milliseconds> secureInputAt = std::nullopt;
};

// The recording engine is left unstarted: the real one alone watches the keys.
class HeldTable : public EngineTest, public ::testing::WithParamInterface<HeldCase> {
    void SetUp() override {}
};

TEST_P(HeldTable, FieldEndsWith) {
    const auto& c = GetParam();
    useSnippets(c.snippets);
    desktop.setHoldLatency(c.holdLatency);
    TextExpansionEngine real{store, settings, services, std::make_unique<TextReplacer>(services)};
    real.start();
    for (auto [at, text] : {std::pair{0ms, c.typed}, std::pair{c.laterAt, c.later}}) {
        for (const char32_t ch : unicode::toScalars(text)) {
            desktop.pressAt(at, usKeyboard::keyDownFor(ch));
            at += 10ms;
        }
    }
    if (c.secureInputAt) {
        desktop.doAt(*c.secureInputAt, [&] { desktop.setSecureInput(true); });
    }
    ASSERT_TRUE(desktop.runUntilIdle());
    EXPECT_EQ(desktop.field().text(), c.fieldText);
    EXPECT_FALSE(desktop.holding());
    EXPECT_TRUE(desktop.playedSounds().empty()) << "no sound unless asked";
}

const auto aWait = macro("mac", {{.text = "A"},
                                 {.type = model::MacroStep::StepType::wait, .milliseconds = 2000},
                                 {.text = "B"}});

INSTANTIATE_TEST_SUITE_P(
    Engine, HeldTable,
    ::testing::Values(
        HeldCase{"LetterThroughBeforeTheHoldIsTypedAgain", "omw s", "On my ways", std::vector{omw},
                 25ms},
        HeldCase{"ReturnThroughBeforeTheHoldDropsTheExpansion", "omw ", "omw \n", std::vector{omw},
                 25ms, 40ms, "\n"},
        HeldCase{"ReplayedKeysMeetThePasswordRules", "omw ", "On my wayomw ", std::vector{omw}, 0ms,
                 60ms, "omw ", 50ms},
        HeldCase{"KeysTypedDuringAWaitGoThroughAsTheyCome", "mac ", "AxB", std::vector{aWait}, 0ms,
                 1000ms, "x"},
        HeldCase{"KeysBeforeAWaitAreHandedOverWhenItBegins", "mac yz", "AyzB", std::vector{aWait}},
        // Released at 1030 ms (the space at 30 ms): after the 18 b's typed by then.
        HeldCase{"TheHoldEndsAfterASecond", "mac x",
                 std::string(18, 'b') + "x" + std::string(12, 'b'),
                 std::vector{macro("mac", std::vector<model::MacroStep>(30, {.text = "b"}))}}),
    testing::CaseName());

} // namespace
} // namespace quillo::engine
