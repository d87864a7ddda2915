// The replacer's output in virtual time: every synthetic event, its instant and its flags, the
// text the field ends with, and the clipboard given back item by item.
#include "engine/TextReplacer.h"

#include "support/EngineFixture.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

using namespace std::chrono_literals;
using platform::KeyEvent;
using platform::KeyEventType;
using platform::PasteboardItem;
using sim::PostedEvent;
using sim::SimDesktop;
namespace flag = platform::flag;
namespace key = platform::key;

// "50 ms": the virtual instant of an event.
constexpr std::chrono::microseconds at(std::chrono::milliseconds ms) {
    return ms;
}

struct Press {
    std::chrono::microseconds at;
    platform::KeyCode keyCode;
    platform::EventFlags flags;
    std::u16string text;
    bool operator==(const Press&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Press& press) {
    return out << "{" << static_cast<double>(press.at.count()) / 1000.0 << "ms key "
               << press.keyCode << " flags 0x" << std::hex << press.flags << std::dec << " text "
               << press.text.size() << " units}";
}

// The key-downs of the transcript (a key's text stays empty: the layout gives it); each must be
// followed at once by its key-up with the same key, flags and text.
std::vector<Press> presses(const std::vector<PostedEvent>& events) {
    std::vector<Press> result;
    for (std::size_t i = 0; i < events.size(); i += 2) {
        const auto& down = events[i];
        EXPECT_EQ(down.event.type, KeyEventType::keyDown) << "event " << i;
        if (i + 1 < events.size()) {
            const auto& up = events[i + 1];
            EXPECT_EQ(up.event.type, KeyEventType::keyUp) << "event " << i + 1;
            EXPECT_EQ(up.at, down.at);
            EXPECT_EQ(up.event.keyCode, down.event.keyCode);
            EXPECT_EQ(up.event.flags, down.event.flags);
            EXPECT_EQ(up.event.textView(), down.event.textView());
        }
        result.push_back(
            {down.at, down.event.keyCode, down.event.flags, std::u16string(down.event.textView())});
    }
    return result;
}

PasteboardItem item(std::vector<std::pair<std::string, std::string>> representations) {
    PasteboardItem result;
    for (auto& [type, data] : representations) {
        result.representations.emplace_back(type, platform::Bytes(data.begin(), data.end()));
    }
    return result;
}

class ReplacerTest : public ::testing::Test {
  protected:
    // Runs the operation to its end; returns the virtual instant of its completion.
    template <typename Operation>
    std::chrono::microseconds run(Operation operation) {
        std::optional<std::chrono::microseconds> completedAt;
        int completions = 0;
        operation([&] {
            completedAt = desktop.now();
            ++completions;
        });
        EXPECT_FALSE(completedAt) << "the operation must return before it does its work";
        EXPECT_TRUE(desktop.runUntilIdle());
        EXPECT_EQ(completions, 1);
        return completedAt.value_or(-1us);
    }

    testing::TemporaryFolder folder;
    SimDesktop desktop{folder.path()};
    TextReplacer replacer{desktop.services()};
};

TEST_F(ReplacerTest, OmwAndSpaceFollowsThePauseSchedule) {
    desktop.field().reset("omw ");
    const auto done = run([&](auto completion) {
        auto expanded = replacer.expandVariables("On my way", std::nullopt);
        replacer.replaceText(4, expanded.text, expanded.cursorOffset, completion);
    });
    const std::vector<Press> expected = {
        {at(50ms), key::backspace, 0, u""},      {at(60ms), key::backspace, 0, u""},
        {at(70ms), key::backspace, 0, u""},      {at(80ms), key::backspace, 0, u""},
        {at(190ms), key::v, flag::command, u""},
    };
    EXPECT_EQ(presses(desktop.postedEvents()), expected);
    EXPECT_EQ(done, at(290ms));
    EXPECT_EQ(desktop.field().text(), "On my way");
    EXPECT_EQ(desktop.pasteboardItems(), std::vector<PasteboardItem>{});
}

TEST_F(ReplacerTest, CursorMarkerWalksBackWithLeftArrows) {
    desktop.field().reset("link ");
    desktop.setPasteboardText("https://example.org");
    const auto done = run([&](auto completion) {
        auto expanded = replacer.expandVariables("<a href='{clipboard}'>{cursor}</a>", " ");
        EXPECT_EQ(expanded.cursorOffset, 5u);
        replacer.replaceText(5, expanded.text, expanded.cursorOffset, completion);
    });
    const auto events = presses(desktop.postedEvents());
    ASSERT_EQ(events.size(), 5u + 1u + 5u);
    // Paste at 50 + 5 * 10 + 50 + 50; the arrows 100 ms later plus 50 ms, 10 ms apart.
    EXPECT_EQ(events[5].at, at(200ms));
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(events[6 + i], (Press{at(350ms) + i * 10ms, key::leftArrow, 0, u""}));
    }
    EXPECT_EQ(done, at(400ms));
    EXPECT_EQ(desktop.field().text(), "<a href='https://example.org'></a> ");
    EXPECT_EQ(desktop.field().cursor(), 30u);
    EXPECT_EQ(desktop.pasteboardText(), "https://example.org");
}

struct TemplateCase {
    const char* name;
    std::string templateText;
    std::optional<std::string> clipboard;
    std::optional<std::string> selection;
    std::optional<std::string> delimiter;
    std::string text;
    std::size_t cursorOffset;
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
        TemplateCase{
            "CursorInsideQuotes", "<a href='{cursor}'></a>", {}, {}, {}, "<a href=''></a>", 6},
        TemplateCase{"DelimiterKeepsCursorAtMarker",
                     "<a href='{cursor}'></a>",
                     {},
                     {},
                     " ",
                     "<a href=''></a> ",
                     7},
        TemplateCase{"CursorAtEnd", "abc{cursor}", {}, {}, " ", "abc ", 0},
        TemplateCase{"OnlyFirstCursorCounts", "a{cursor}b{cursor}c", {}, {}, {}, "abc", 2},
        TemplateCase{"CursorCountsCharactersNotBytes",
                     "{cursor}caf\u00e9\U0001F44D",
                     {},
                     {},
                     {},
                     "caf\u00e9\U0001F44D",
                     5},
        TemplateCase{"EveryClipboardMarker", "{clipboard}-{clipboard}", "x", {}, {}, "x-x", 0},
        TemplateCase{"MarkersAreCaseSensitive",
                     "{Clipboard}{CURSOR}",
                     "x",
                     {},
                     {},
                     "{Clipboard}{CURSOR}",
                     0},
        TemplateCase{
            "CursorInClipboardStaysText", "[{clipboard}]", "{cursor}", {}, {}, "[{cursor}]", 0},
        TemplateCase{"ClipboardInSelectionStaysText",
                     "<b>{selection}</b>{clipboard}",
                     "url",
                     "{clipboard}",
                     {},
                     "<b>{clipboard}</b>url",
                     0},
        TemplateCase{"SelectionLeftAloneWithoutOne", "{selection}", "x", {}, {}, "{selection}", 0},
        TemplateCase{"CursorAfterClipboardCountsTheFinalText",
                     "{clipboard}{cursor}{clipboard}",
                     "ab",
                     {},
                     {},
                     "abab",
                     2}),
    testing::CaseName());

TEST_F(ReplacerTest, ExpandVariablesReadsTheClipboardOnlyWhenAsked) {
    desktop.setPasteboardText("copied");
    const auto before = desktop.pasteboardChangeCount();
    EXPECT_EQ(replacer.expandVariables("[{clipboard}]", std::nullopt).text, "[copied]");
    desktop.setPasteboardText(std::nullopt);
    EXPECT_EQ(replacer.expandVariables("[{clipboard}]", std::nullopt).text, "[]");
    EXPECT_GT(desktop.pasteboardChangeCount(), before);
}

TEST_F(ReplacerTest, EveryClipboardItemAndTypeComesBack) {
    const std::vector<PasteboardItem> original = {
        item({{"text/plain;charset=utf-8", "hello"}, {"text/html", "<b>hello</b>"}}),
        item({{"image/png", std::string("\x89PNG\r\n\x1a\n\0\0binary", 16)}}),
    };
    desktop.setPasteboardItems(original);
    desktop.field().reset("omw ");
    run([&](auto completion) { replacer.replaceText(4, "On my way", 0, completion); });
    EXPECT_EQ(desktop.field().text(), "On my way");
    EXPECT_EQ(desktop.pasteboardItems(), original);
}

// The clipboard while a paste is under way: marked for clipboard managers, given back as soon
// as the field has read it, and never over a copy the user made meanwhile.
struct ClipboardCase {
    const char* name;
    std::chrono::milliseconds fetchDelay;
    // At 200 ms: after the text went on the clipboard (110 ms), before the field fetches it.
    enum class Meanwhile { nothing, userCopies, managerKeepsOurText } meanwhile;
    std::string fieldText;
    std::optional<std::string> clipboardAfter;
    std::chrono::milliseconds done;
};

class ClipboardTable : public ReplacerTest, public ::testing::WithParamInterface<ClipboardCase> {};

TEST_P(ClipboardTable, GivesTheClipboardBack) {
    const auto& c = GetParam();
    desktop.setFetchDelay(c.fetchDelay);
    desktop.setPasteboardText("the user's");
    desktop.field().reset("x");
    std::vector<bool> concealed;
    const auto look = [&] { concealed.push_back(desktop.pasteboardConcealed()); };
    desktop.doAt(at(149ms), look);
    desktop.doAt(at(200ms), [&] {
        if (c.meanwhile == ClipboardCase::Meanwhile::userCopies) {
            desktop.setPasteboardText("copied meanwhile");
        } else if (c.meanwhile == ClipboardCase::Meanwhile::managerKeepsOurText) {
            desktop.setPasteboardItems(desktop.pasteboardItems());
        }
    });
    const auto done =
        run([&](auto completion) { replacer.replaceText(1, "snippet", 0, completion); });
    look();
    EXPECT_EQ(concealed, (std::vector<bool>{true, false})) << "marked while pasted, not after";
    EXPECT_EQ(desktop.field().text(), c.fieldText);
    EXPECT_EQ(desktop.pasteboardText(), c.clipboardAfter);
    EXPECT_EQ(done, at(c.done));
}

INSTANTIATE_TEST_SUITE_P(
    Replacer, ClipboardTable,
    ::testing::Values(
        // Paste keys at 160 ms; given back when read, at the latest 100 ms after them.
        ClipboardCase{"ReadAtOnce", 0ms, ClipboardCase::Meanwhile::nothing, "snippet", "the user's",
                      161ms},
        ClipboardCase{"ReadLate", 60ms, ClipboardCase::Meanwhile::nothing, "snippet", "the user's",
                      220ms},
        ClipboardCase{"NotReadInTime", 150ms, ClipboardCase::Meanwhile::nothing, "the user's",
                      "the user's", 260ms},
        ClipboardCase{"UsersCopyStays", 60ms, ClipboardCase::Meanwhile::userCopies,
                      "copied meanwhile", "copied meanwhile", 260ms},
        ClipboardCase{"ManagerKeepingOurTextIsNoCopy", 60ms,
                      ClipboardCase::Meanwhile::managerKeepsOurText, "snippet", "the user's",
                      260ms}),
    testing::CaseName());

TEST_F(ReplacerTest, HotkeyExpansionPostsNoBackspace) {
    const auto done = run([&](auto completion) { replacer.replaceText(0, "x", 0, completion); });
    const std::vector<Press> expected = {{at(150ms), key::v, flag::command, u""}};
    EXPECT_EQ(presses(desktop.postedEvents()), expected);
    EXPECT_EQ(done, at(250ms));
}

TEST_F(ReplacerTest, SelectionIsCopiedThenWrapped) {
    desktop.setPasteboardText("https://example.org");
    desktop.field().reset("see this", 4);
    const auto done = run([&](auto completion) {
        replacer.replaceWithSelection(0, "<a href='{clipboard}'>{selection}</a>", std::nullopt,
                                      completion);
    });
    EXPECT_EQ(desktop.field().text(), "see <a href='https://example.org'>this</a>");
    EXPECT_EQ(desktop.pasteboardText(), "https://example.org");
    const auto events = presses(desktop.postedEvents());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (Press{at(50ms), key::c, flag::command, u""}));
    // The application copies after the event arrives, so the first poll, 15 ms later, sees it;
    // the paste follows 50 ms after the text is on the clipboard.
    EXPECT_EQ(events[1], (Press{at(115ms), key::v, flag::command, u""}));
    EXPECT_EQ(done, at(215ms));
}

TEST_F(ReplacerTest, NothingSelectedWaitsAQuarterSecondThenGoesOn) {
    desktop.field().reset("bold ");
    const auto done = run([&](auto completion) {
        replacer.replaceWithSelection(5, "<b>{selection}</b>", std::nullopt, completion);
    });
    const auto events = presses(desktop.postedEvents());
    ASSERT_EQ(events.size(), 1u + 5u + 1u);
    // Polls every 15 ms from 50 ms until 300 ms have passed: the last poll at 305 ms.
    EXPECT_EQ(events[1].at, at(355ms));
    EXPECT_EQ(desktop.field().text(), "<b></b>");
    EXPECT_EQ(done, events.back().at + 100ms);
}

TEST_F(ReplacerTest, ApplicationThatDoesNotCopyGivesAnEmptySelection) {
    desktop.setFieldCopies(false);
    desktop.field().reset("abc", 3);
    run([&](auto completion) {
        replacer.replaceWithSelection(0, "[{selection}]", std::nullopt, completion);
    });
    EXPECT_EQ(desktop.field().text(), "[]");
}

TEST_F(ReplacerTest, BackspacesAndArrowsCarryNoFlagsEvenWhileModifiersAreHeld) {
    desktop.changeModifiers(flag::control | flag::option);
    desktop.field().reset("ab");
    run([&](auto completion) { replacer.replaceText(2, "xy", 1, completion); });
    for (const auto& press : presses(desktop.postedEvents())) {
        if (press.keyCode == key::v) {
            EXPECT_EQ(press.flags, flag::command);
        } else {
            EXPECT_EQ(press.flags, 0u) << press;
        }
    }
    EXPECT_EQ(desktop.field().text(), "xy");
    EXPECT_EQ(desktop.field().cursor(), 1u);
}

TEST_F(ReplacerTest, ReplacerGoneBeforeTheWorkerStartsDoesNothing) {
    bool completed = false;
    {
        TextReplacer shortLived{desktop.services()};
        shortLived.replaceText(3, "text", 0, [&] { completed = true; });
    }
    desktop.runUntilIdle();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(desktop.postedEvents().empty());
}

// --- Macros ----------------------------------------------------------------------------------

model::MacroStep step(model::MacroStep::StepType type) {
    return model::MacroStep::make(type);
}
model::MacroStep typeText(std::string text) {
    auto s = step(model::MacroStep::StepType::typeText);
    s.text = std::move(text);
    return s;
}
model::MacroStep pressKey(std::int64_t keyCode, std::uint64_t modifiers) {
    auto s = step(model::MacroStep::StepType::pressKey);
    s.keyCode = keyCode;
    s.modifiers = modifiers;
    return s;
}
model::MacroStep wait(std::int64_t ms) {
    auto s = step(model::MacroStep::StepType::wait);
    s.milliseconds = ms;
    return s;
}

TEST_F(ReplacerTest, MacroWrapsTheSelectionInBoldAndGivesTheClipboardBack) {
    desktop.setPasteboardText("keep me");
    desktop.field().reset("make this", 4);
    run([&](auto completion) {
        replacer.executeMacro(0,
                              {pressKey(key::c, flag::command), wait(150),
                               pressKey(key::backspace, 0), typeText("<b>"),
                               pressKey(key::v, flag::command), typeText("</b>")},
                              completion);
    });
    EXPECT_EQ(desktop.field().text(), "make <b>this</b>");
    EXPECT_EQ(desktop.pasteboardText(), "keep me");
}

TEST_F(ReplacerTest, EmptyTypeTextOnlyErases) {
    desktop.field().reset("abc ");
    const auto done =
        run([&](auto completion) { replacer.executeMacro(4, {typeText("")}, completion); });
    EXPECT_EQ(presses(desktop.postedEvents()).size(), 4u);
    EXPECT_EQ(done, at(50ms + 40ms + 50ms + 100ms));
    EXPECT_EQ(desktop.field().text(), "");
}

TEST_F(ReplacerTest, MacroStepPausesAndBounds) {
    const auto done = run([&](auto completion) {
        replacer.executeMacro(0,
                              {wait(0), pressKey(70000, 0), pressKey(-1, 0), wait(-5),
                               pressKey(key::returnKey, flag::shift), wait(90'000'000)},
                              completion);
    });
    // Two 50 ms pauses, 1 ms, 1 ms, Return and its 50 ms, the longest wait, then 100 ms.
    const std::vector<Press> expected = {{at(102ms), key::returnKey, flag::shift, u""}};
    EXPECT_EQ(presses(desktop.postedEvents()), expected);
    EXPECT_EQ(done, at(152ms) + TextReplacer::maxWait + 100ms);
}

TEST_F(ReplacerTest, TypeTextIsOneKeyPressPerUtf16Unit) {
    run([&](auto completion) {
        replacer.executeMacro(0, {typeText("a\U0001F600{clipboard}")}, completion);
    });
    const auto events = presses(desktop.postedEvents());
    ASSERT_EQ(events.size(), 1u + 2u + 11u);
    EXPECT_EQ(events[1].text, std::u16string(1, u'\xD83D'));
    EXPECT_EQ(events[2].text, std::u16string(1, u'\xDE00'));
    for (const auto& press : events) {
        EXPECT_EQ(press.at, at(100ms)) << "no pause between characters";
        EXPECT_EQ(press.keyCode, 0u);
        EXPECT_EQ(press.flags, 0u);
    }
    EXPECT_EQ(desktop.field().text(), "a\U0001F600{clipboard}");
}

} // namespace
} // namespace quillo::engine
