// The replacer's output in virtual time: every synthetic event, its instant and its flags, the
// text the field ends with, and the clipboard given back item by item.
#include "engine/TextReplacer.h"

#include "support/EngineFixture.h"
#include "unicode/UnicodeText.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

using namespace std::chrono_literals;
using platform::PasteboardItem;
using sim::SimDesktop;
using Step = model::MacroStep;
using Completion = ExpansionOutput::Completion;
namespace flag = platform::flag;
namespace key = platform::key;

// The key-downs as "ms:Key", e.g. "190:Cmd-V"; a key with text shows the text instead, one
// UTF-16 unit each (its key code must be 0). Every key-down must be followed at once by the same
// key's key-up.
std::string transcript(const std::vector<sim::PostedEvent>& events) {
    const std::map<platform::EventFlags, std::string> modifiers = {
        {0, ""}, {flag::command, "Cmd-"}, {flag::shift, "Shift-"}};
    const std::map<platform::KeyCode, std::string> keys = {{key::backspace, "BS"},
                                                           {key::leftArrow, "Left"},
                                                           {key::returnKey, "Return"},
                                                           {key::c, "C"},
                                                           {key::v, "V"}};
    std::string out;
    for (std::size_t i = 0; i < events.size(); i += 2) {
        const auto& [at, down] = events[i];
        auto up = events[i];
        up.event.type = platform::KeyEventType::keyUp;
        EXPECT_EQ(down.type, platform::KeyEventType::keyDown) << "event " << i;
        EXPECT_TRUE(i + 1 < events.size() && events[i + 1] == up) << "event " << i + 1;
        const auto text = down.textView();
        out += (out.empty() ? "" : " ") + std::to_string(at / 1ms) + ":" +
               (modifiers.contains(down.flags) ? modifiers.at(down.flags) : "?-") +
               (!text.empty() && down.keyCode == 0 ? ""
                : keys.contains(down.keyCode)      ? keys.at(down.keyCode)
                                                   : "k" + std::to_string(down.keyCode));
        for (const char16_t unit : text) {
            out += unit >= 0x20 && unit < 0x7F ? std::string(1, static_cast<char>(unit))
                                               : "\\u" + std::to_string(unit);
        }
    }
    return out;
}

// The field's text with "|" at the insertion point.
std::string drawn(const sim::TextField& field) {
    const auto at = unicode::graphemeBoundaries(field.text())[field.cursor()];
    return field.text().substr(0, at) + "|" + field.text().substr(at);
}

Step typeText(std::string text) {
    return {.type = Step::StepType::typeText, .text = std::move(text)};
}
Step pressKey(std::int64_t keyCode, std::uint64_t modifiers) {
    return {.type = Step::StepType::pressKey, .keyCode = keyCode, .modifiers = modifiers};
}
Step wait(std::int64_t ms) {
    return {.type = Step::StepType::wait, .milliseconds = ms};
}

class ReplacerTest : public ::testing::Test {
  protected:
    // Runs the operation to its end; returns the virtual instant of its completion.
    std::chrono::microseconds run(const std::function<void(TextReplacer&, Completion)>& operation) {
        std::vector<std::chrono::microseconds> completions;
        operation(replacer, [&] { completions.push_back(desktop.now()); });
        EXPECT_TRUE(completions.empty()) << "the operation must return before it does its work";
        EXPECT_TRUE(desktop.runUntilIdle());
        EXPECT_EQ(completions.size(), 1u);
        return completions.empty() ? -1us : completions.front();
    }

    testing::TemporaryFolder folder;
    SimDesktop desktop{folder.path()};
    TextReplacer replacer{desktop.services()};
};

// Whole operations, with Control and Option held throughout: the replacer's keys must carry
// exactly the flags it gives them. The operation is the one the engine picks: a macro when there
// are steps, the selection kind for a template that wants the selection, else a plain paste.
struct RunCase {
    const char* name;
    std::string field;
    std::size_t selected;
    std::optional<std::string> clipboard;
    std::size_t backspaces;
    std::string templateText;
    std::string events;
    std::chrono::milliseconds done;
    std::string fieldAfter;
    std::vector<Step> steps = {};
    std::optional<std::string> delimiter = std::nullopt;
    bool fieldCopies = true;
    // Where an input method tells the selection, a program that does not copy gives it anyway.
    std::optional<std::string> fieldAfterInputMethod = std::nullopt;
};

class RunTable : public ReplacerTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTable, PostsTheEventsAndGivesTheClipboardBack) {
    const auto& c = GetParam();
    desktop.changeModifiers(flag::control | flag::option);
    desktop.setPasteboardText(c.clipboard);
    desktop.setFieldCopies(c.fieldCopies);
    desktop.field().reset(c.field, c.selected);
    EXPECT_EQ(run([&](TextReplacer& r, Completion done) {
                  if (!c.steps.empty()) {
                      r.executeMacro({c.backspaces, c.backspaces}, c.steps, done);
                  } else if (c.templateText.find("{selection}") != std::string::npos) {
                      r.replaceWithSelection({c.backspaces, c.backspaces}, c.templateText,
                                             c.delimiter, done);
                  } else {
                      const auto changes = desktop.pasteboardChangeCount();
                      const auto expanded = r.expandVariables(c.templateText, c.delimiter);
                      EXPECT_EQ(desktop.pasteboardChangeCount(), changes) << "only read";
                      r.replaceText({c.backspaces, c.backspaces}, expanded.text,
                                    expanded.cursorOffset, done);
                  }
              }),
              c.done);
    EXPECT_EQ(transcript(desktop.postedEvents()), c.events);
    EXPECT_EQ(drawn(desktop.field()), c.fieldAfter);
    EXPECT_EQ(desktop.pasteboardText(), c.clipboard);
    if (!c.clipboard) {
        EXPECT_EQ(desktop.pasteboardItems(), std::vector<PasteboardItem>{});
    }
}

// The same operations through an input method that tells the surrounding text: the same text in
// the field, the clipboard not even touched unless a macro's own steps copy, and no synthetic
// key at all.
TEST_P(RunTable, TheInputMethodWritesTheSameTextWithoutTheClipboard) {
    const auto& c = GetParam();
    desktop.setInputMethod(true);
    desktop.setPasteboardText(c.clipboard);
    desktop.setFieldCopies(c.fieldCopies);
    desktop.field().reset(c.field, c.selected);
    const auto changes = desktop.pasteboardChangeCount();
    run([&](TextReplacer& r, Completion done) {
        if (!c.steps.empty()) {
            r.executeMacro({c.backspaces, c.backspaces}, c.steps, done);
        } else if (c.templateText.find("{selection}") != std::string::npos) {
            r.replaceWithSelection({c.backspaces, c.backspaces}, c.templateText, c.delimiter, done);
        } else {
            const auto expanded = r.expandVariables(c.templateText, c.delimiter);
            r.replaceText({c.backspaces, c.backspaces}, expanded.text, expanded.cursorOffset, done);
        }
    });
    EXPECT_EQ(drawn(desktop.field()), c.fieldAfterInputMethod.value_or(c.fieldAfter));
    EXPECT_EQ(desktop.pasteboardText(), c.clipboard);
    if (c.steps.empty()) {
        EXPECT_EQ(desktop.pasteboardChangeCount(), changes);
    }
    EXPECT_TRUE(desktop.postedEvents().empty());
}

const std::optional<std::string> none;
const std::vector<Step> noSteps;
const std::vector<Step> boldMacro = {pressKey(key::c, flag::command), wait(150),
                                     pressKey(key::backspace, 0),     typeText("<b>"),
                                     pressKey(key::v, flag::command), typeText("</b>")};
const std::vector<Step> boundedMacro = {wait(0),
                                        pressKey(70000, 0),
                                        pressKey(-1, 0),
                                        wait(-5),
                                        pressKey(key::returnKey, flag::shift),
                                        wait(90'000'000)};

INSTANTIATE_TEST_SUITE_P(
    Replacer, RunTable,
    ::testing::Values(
        // Backspaces 10 ms apart after 50 ms; the paste 100 ms later, then 100 ms for the
        // application to fetch it.
        RunCase{"ShortcutAndSpace", "omw ", 0, none, 4, "On my way",
                "50:BS 60:BS 70:BS 80:BS 190:Cmd-V", 290ms, "On my way|"},
        // The arrows 100 ms after the paste plus 50 ms, 10 ms apart.
        RunCase{"CursorMarkerWalksBackWithLeftArrows", "link ", 0, "https://example.org", 5,
                "<a href='{clipboard}'>{cursor}</a>",
                "50:BS 60:BS 70:BS 80:BS 90:BS 200:Cmd-V 350:Left 360:Left 370:Left 380:Left "
                "390:Left",
                400ms, "<a href='https://example.org'>|</a> ", noSteps, " "},
        // Without a clipboard its marker stands for nothing.
        RunCase{"HotkeyPostsNoBackspace", "", 0, none, 0, "x{clipboard}", "150:Cmd-V", 250ms, "x|"},
        // The application copies when the event arrives, so the first poll, 15 ms later, sees
        // it; the paste follows 50 ms after the text is on the clipboard.
        RunCase{"SelectionIsCopiedThenWrapped", "see this", 4, "https://example.org", 0,
                "<a href='{clipboard}'>{selection}</a>", "50:Cmd-C 115:Cmd-V", 215ms,
                "see <a href='https://example.org'>this</a>|"},
        // Polls every 15 ms from 50 ms until 300 ms have passed: the last poll at 305 ms.
        RunCase{"NothingSelectedWaitsThenGoesOn", "bold ", 0, none, 5, "<b>{selection}</b>",
                "50:Cmd-C 355:BS 365:BS 375:BS 385:BS 395:BS 455:Cmd-V", 555ms, "<b></b>|"},
        RunCase{"ApplicationThatDoesNotCopyGivesAnEmptySelection", "abc", 3, "kept", 0,
                "[{selection}]", "50:Cmd-C 355:Cmd-V", 455ms, "[]|", noSteps, none, false,
                "[abc]|"},
        RunCase{"MacroWrapsTheSelectionInBold", "make this", 4, "keep me", 0, "",
                "100:Cmd-C 300:BS 350:< 350:b 350:> 400:Cmd-V 450:< 450:/ 450:b 450:>", 600ms,
                "make <b>this</b>|", boldMacro},
        RunCase{"EmptyTypeTextOnlyErases", "abc ", 0, none, 4, "", "50:BS 60:BS 70:BS 80:BS", 240ms,
                "|", std::vector{typeText("")}},
        // Two 50 ms pauses, 1 ms, 1 ms, Return and its 50 ms, the longest wait, then 100 ms.
        RunCase{"MacroStepPausesAndBounds", "", 0, none, 0, "", "102:Shift-Return",
                152ms + TextReplacer::maxWait + 100ms, "\n|", boundedMacro},
        // One key press per UTF-16 unit, with no pause between them; markers stay text.
        RunCase{"TypeTextIsOneKeyPressPerUnit", "", 0, none, 0, "",
                "100:a 100:\\u55357 100:\\u56832 100:{ 100:c 100:l 100:i 100:p 100:b 100:o "
                "100:a 100:r 100:d 100:}",
                250ms, "a\U0001F600{clipboard}|", std::vector{typeText("a\U0001F600{clipboard}")}}),
    testing::CaseName());

struct TemplateCase {
    const char* name;
    std::string templateText;
    std::string text;
    std::size_t cursorOffset;
    std::optional<std::string> clipboard = std::nullopt;
    std::optional<std::string> selection = std::nullopt;
    std::optional<std::string> delimiter = std::nullopt;
};

class TemplateTable : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTable, ResolvesMarkersOfTheTemplateOnly) {
    const auto& c = GetParam();
    EXPECT_EQ(TextReplacer::resolveTemplate(c.templateText, c.clipboard, c.selection, c.delimiter),
              (ExpandedText{c.text, c.cursorOffset}));
}

INSTANTIATE_TEST_SUITE_P(
    Replacer, TemplateTable,
    ::testing::Values(
        TemplateCase{"CursorInsideQuotes", "<a href='{cursor}'></a>", "<a href=''></a>", 6},
        TemplateCase{"CursorAtEnd", "abc{cursor}", "abc ", 0, none, none, " "},
        TemplateCase{"OnlyFirstCursorCounts", "a{cursor}b{cursor}c", "abc", 2},
        TemplateCase{"CursorCountsCharacters", "{cursor}caf\u00e9\U0001F44D", "caf\u00e9\U0001F44D",
                     5},
        TemplateCase{"EveryClipboardMarker", "{clipboard}-{clipboard}", "x-x", 0, "x"},
        TemplateCase{"MarkersCaseSensitive", "{Clipboard}{CURSOR}", "{Clipboard}{CURSOR}", 0, "x"},
        TemplateCase{"CursorInClipboardStaysText", "[{clipboard}]", "[{cursor}]", 0, "{cursor}"},
        TemplateCase{"ClipboardInSelectionStaysText", "<b>{selection}</b>{clipboard}",
                     "<b>{clipboard}</b>url", 0, "url", "{clipboard}"},
        TemplateCase{"SelectionLeftAloneWithoutOne", "{selection}", "{selection}", 0, "x"},
        TemplateCase{"CursorCountsTheFinalText", "{clipboard}{cursor}{clipboard}", "abab", 2,
                     "ab"}),
    testing::CaseName());

// The clipboard while a paste is under way: marked for clipboard managers, given back with
// every item and type as soon as the field has read it, and never over a copy the user made
// meanwhile.
struct ClipboardCase {
    const char* name;
    std::chrono::milliseconds fetchDelay;
    // At 200 ms: after the text went on the clipboard (110 ms), before the field fetches it.
    enum class Meanwhile { nothing, userCopies, managerKeepsOurText } meanwhile;
    std::string fieldText;
    std::chrono::milliseconds done;
};

class ClipboardTable : public ReplacerTest, public ::testing::WithParamInterface<ClipboardCase> {};

TEST_P(ClipboardTable, GivesTheClipboardBack) {
    const auto& c = GetParam();
    const auto bytes = [](std::string_view d) { return platform::Bytes(d.begin(), d.end()); };
    const std::vector<PasteboardItem> original = {
        {{{"text/plain;charset=utf-8", bytes("the user's")}, {"text/html", bytes("<b>it</b>")}}},
        {{{"image/png", bytes(std::string_view("\x89PNG\r\n\x1a\n\0\0binary", 16))}}}};
    desktop.setFetchDelay(c.fetchDelay);
    desktop.setPasteboardItems(original);
    desktop.field().reset("x");
    std::vector<bool> concealed;
    const auto look = [&] { concealed.push_back(desktop.pasteboardConcealed()); };
    desktop.doAt(149ms, look);
    desktop.doAt(200ms, [&] {
        if (c.meanwhile == ClipboardCase::Meanwhile::userCopies) {
            desktop.setPasteboardText("copied meanwhile");
        } else if (c.meanwhile == ClipboardCase::Meanwhile::managerKeepsOurText) {
            desktop.setPasteboardItems(desktop.pasteboardItems());
        }
    });
    const auto done = run([](auto& r, auto completion) {
        r.replaceText({1, 1}, "snippet", 0, completion);
    });
    look();
    EXPECT_EQ(concealed, (std::vector<bool>{true, false})) << "marked while pasted, not after";
    EXPECT_EQ(desktop.field().text(), c.fieldText);
    if (c.meanwhile == ClipboardCase::Meanwhile::userCopies) {
        EXPECT_EQ(desktop.pasteboardText(), "copied meanwhile");
    } else {
        EXPECT_EQ(desktop.pasteboardItems(), original);
    }
    EXPECT_EQ(done, c.done);
}

using Meanwhile = ClipboardCase::Meanwhile;

INSTANTIATE_TEST_SUITE_P(
    Replacer, ClipboardTable,
    ::testing::Values(
        // Paste keys at 160 ms; given back when read, at the latest 100 ms after them.
        ClipboardCase{"ReadAtOnce", 0ms, Meanwhile::nothing, "snippet", 161ms},
        ClipboardCase{"ReadLate", 60ms, Meanwhile::nothing, "snippet", 220ms},
        ClipboardCase{"NotReadInTime", 150ms, Meanwhile::nothing, "the user's", 260ms},
        ClipboardCase{"UsersCopyStays", 60ms, Meanwhile::userCopies, "copied meanwhile", 260ms},
        ClipboardCase{"ManagerKeepingOurTextIsNoCopy", 60ms, Meanwhile::managerKeepsOurText,
                      "snippet", 260ms}),
    testing::CaseName());

// A program that offers no surrounding text: the shortcut goes with forwarded Backspaces, which
// erase characters, and the selection is copied, with the clipboard given back afterwards.
TEST_F(ReplacerTest, WithoutSurroundingTextTheInputMethodForwardsBackspacesAndCopies) {
    desktop.setInputMethod(true, false);
    desktop.setPasteboardText("kept");
    desktop.field().reset("cafe\u0301 ");
    run([](TextReplacer& r, Completion done) { r.replaceText({5, 6}, "Coffee", 0, done); });
    desktop.field().reset("see this", 4);
    run([](TextReplacer& r, Completion done) {
        r.replaceWithSelection({}, "<i>{selection}</i>{clipboard}", std::nullopt, done);
    });
    EXPECT_EQ(desktop.inputMethodRequests(),
              (std::vector<std::string>{"0:erase 5/6", "0:commit Coffee", "0:key 8/1048576",
                                        "15:commit <i>this</i>kept"}));
    EXPECT_EQ(drawn(desktop.field()), "see <i>this</i>kept|");
    EXPECT_EQ(desktop.pasteboardText(), "kept");
}

TEST_F(ReplacerTest, ReplacerGoneBeforeTheWorkerStartsDoesNothing) {
    bool completed = false;
    {
        TextReplacer shortLived{desktop.services()};
        shortLived.replaceText({3, 3}, "text", 0, [&] { completed = true; });
    }
    desktop.runUntilIdle();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(desktop.postedEvents().empty());
}

} // namespace
} // namespace quillo::engine
