#include "platform/sim/SimDesktop.h"
#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::sim {
namespace {

namespace key = platform::key;
namespace flag = platform::flag;

// A field drawn as text: "|" is the insertion point, and "[...]" the selection, which always
// ends at the insertion point ("a[bc]d" has "bc" selected and the insertion point before "d").
struct Drawn {
    std::string text;
    std::size_t cursor;
    std::size_t selection;
};

Drawn parse(std::string_view drawing) {
    Drawn drawn{{}, 0, 0};
    std::size_t selectionStart = 0;
    bool marked = false;
    for (char c : drawing) {
        if (c == '|' || c == ']') {
            drawn.cursor = unicode::graphemeCount(drawn.text);
            marked = true;
        } else if (c == '[') {
            selectionStart = unicode::graphemeCount(drawn.text);
        } else {
            drawn.text += c;
        }
    }
    if (!marked) {
        drawn.cursor = unicode::graphemeCount(drawn.text);
    }
    if (drawing.find('[') != std::string_view::npos) {
        drawn.selection = drawn.cursor - selectionStart;
    }
    return drawn;
}

std::string draw(const TextField& field) {
    const auto boundaries = unicode::graphemeBoundaries(field.text());
    const std::size_t end = boundaries[field.cursor()];
    const std::size_t start = boundaries[field.cursor() - field.selectionLength()];
    std::string drawing = field.text().substr(0, start);
    if (field.selectionLength() > 0) {
        drawing += "[" + field.text().substr(start, end - start) + "]";
    } else {
        drawing += "|";
    }
    return drawing + field.text().substr(end);
}

void show(SimDesktop& desktop, std::string_view drawing) {
    const Drawn drawn = parse(drawing);
    desktop.field().reset(drawn.text);
    desktop.field().place(drawn.cursor, drawn.selection);
}

KeyEvent unicodeEvent(std::u16string_view units) {
    KeyEvent event;
    event.setText(units);
    return event;
}

KeyEvent withText(KeyCode code, EventFlags flags, std::u16string_view units) {
    KeyEvent event = usKeyboard::keyDownFor(code, flags);
    event.setText(units);
    return event;
}

struct FieldCase {
    const char* name;
    const char* before;
    KeyEvent key;
    const char* after;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

class TextFieldRules : public testing::TestWithParam<FieldCase> {};

TEST_P(TextFieldRules, KeyChangesFieldAsAUserWouldSee) {
    SimDesktop desktop;
    show(desktop, GetParam().before);
    ASSERT_EQ(draw(desktop.field()), GetParam().before) << "the drawing does not round-trip";

    desktop.press(GetParam().key);

    EXPECT_EQ(draw(desktop.field()), GetParam().after);
}

const FieldCase fieldCases[] = {
    // Typing
    {"LetterAtEnd", "abc|", usKeyboard::keyDownFor(U'd'), "abcd|"},
    {"CapitalInMiddle", "ab|c", usKeyboard::keyDownFor(U'X'), "abX|c"},
    {"TypingReplacesSelection", "a[bc]d", usKeyboard::keyDownFor(U'x'), "ax|d"},
    {"SpaceKey", "a|", usKeyboard::keyDownFor(key::space, 0), "a |"},
    {"ReturnInsertsLineFeedNotCarriageReturn", "ab|", usKeyboard::keyDownFor(U'\n'), "ab\n|"},
    {"ReturnReplacesSelection", "a[b]", usKeyboard::keyDownFor(key::returnKey, 0), "a\n|"},
    {"Tab", "a|b", usKeyboard::keyDownFor(key::tab, 0), "a\t|b"},
    {"OptionTypesItsText", "a|", withText(0, flag::option, u"\u00e5"), "a\u00e5|"},
    {"InputMethodCharacter", "|", unicodeEvent(u"\u00e9"), "\u00e9|"},
    {"EmojiInOneEvent", "a|", unicodeEvent(u"\U0001F600"), "a\U0001F600|"},
    {"CombiningMarkJoinsPreviousCharacter", "e|x", unicodeEvent(u"\u0301"), "e\u0301|x"},
    {"CharacterBeforeCombiningMarkJoinsIt", "|\u0301", unicodeEvent(u"e"), "e\u0301|"},
    // Deleting
    {"Backspace", "abc|", usKeyboard::keyDownFor(key::backspace, 0), "ab|"},
    {"BackspaceInMiddle", "ab|c", usKeyboard::keyDownFor(key::backspace, 0), "a|c"},
    {"BackspaceAtStart", "|abc", usKeyboard::keyDownFor(key::backspace, 0), "|abc"},
    {"BackspaceDeletesSelectionOnly", "a[bc]d", usKeyboard::keyDownFor(key::backspace, 0), "a|d"},
    {"BackspaceDeletesWholeDecomposedCharacter", "xe\u0301|",
     usKeyboard::keyDownFor(key::backspace, 0), "x|"},
    {"BackspaceDeletesWholeEmojiWithSkinTone", "a\U0001F44D\U0001F3FD|",
     usKeyboard::keyDownFor(key::backspace, 0), "a|"},
    {"BackspaceDeletesWholeFlag", "\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA|",
     usKeyboard::keyDownFor(key::backspace, 0), "\U0001F1EB\U0001F1F7|"},
    {"ForwardDelete", "ab|c", usKeyboard::keyDownFor(key::forwardDelete, 0), "ab|"},
    {"ForwardDeleteAtEnd", "abc|", usKeyboard::keyDownFor(key::forwardDelete, 0), "abc|"},
    {"ForwardDeleteSelection", "[ab]c", usKeyboard::keyDownFor(key::forwardDelete, 0), "|c"},
    {"ForwardDeleteWholeFlag", "a|\U0001F1EB\U0001F1F7b",
     usKeyboard::keyDownFor(key::forwardDelete, 0), "a|b"},
    // Moving
    {"Left", "ab|c", usKeyboard::keyDownFor(key::leftArrow, 0), "a|bc"},
    {"LeftAtStart", "|abc", usKeyboard::keyDownFor(key::leftArrow, 0), "|abc"},
    {"LeftCollapsesSelectionToItsStart", "a[bc]d", usKeyboard::keyDownFor(key::leftArrow, 0),
     "a|bcd"},
    {"LeftOverDecomposedCharacter", "xe\u0301|", usKeyboard::keyDownFor(key::leftArrow, 0),
     "x|e\u0301"},
    {"Right", "a|bc", usKeyboard::keyDownFor(key::rightArrow, 0), "ab|c"},
    {"RightAtEnd", "abc|", usKeyboard::keyDownFor(key::rightArrow, 0), "abc|"},
    {"RightCollapsesSelectionToItsEnd", "a[bc]d", usKeyboard::keyDownFor(key::rightArrow, 0),
     "abc|d"},
    {"RightOverEmoji", "|\U0001F44D\U0001F3FDa", usKeyboard::keyDownFor(key::rightArrow, 0),
     "\U0001F44D\U0001F3FD|a"},
    {"UpGoesToStart", "ab|c", usKeyboard::keyDownFor(key::upArrow, 0), "|abc"},
    {"UpCollapsesSelection", "a[bc]", usKeyboard::keyDownFor(key::upArrow, 0), "|abc"},
    {"DownGoesToEnd", "a|bc", usKeyboard::keyDownFor(key::downArrow, 0), "abc|"},
    // Keys that type nothing
    {"Escape", "a[bc]", usKeyboard::keyDownFor(key::escape, 0), "a[bc]"},
    {"FunctionKey", "ab|", withText(96, 0, u"\uF708"), "ab|"},
    {"ControlCharacterText", "ab|", unicodeEvent(u"\x01"), "ab|"},
    {"DeleteCharacterText", "ab|", unicodeEvent(u"\x7f"), "ab|"},
    {"KeyWithoutText", "ab|", withText(0, 0, u""), "ab|"},
    {"ControlLetter", "ab|", usKeyboard::keyDownFor(key::a, flag::control), "ab|"},
    {"ControlWithTextStillNothing", "ab|", withText(key::a, flag::control, u"a"), "ab|"},
    {"CommandLetter", "a[b]", usKeyboard::keyDownFor(key::m, flag::command), "a[b]"},
    {"CommandReturn", "ab|", usKeyboard::keyDownFor(key::returnKey, flag::command), "ab|"},
    {"CommandBackspace", "ab|", usKeyboard::keyDownFor(key::backspace, flag::command), "ab|"},
};

INSTANTIATE_TEST_SUITE_P(Keys, TextFieldRules, testing::ValuesIn(fieldCases),
                         [](const auto& test) { return std::string(test.param.name); });

// --- Characters typed one UTF-16 unit at a time ----------------------------------------------

struct SurrogateCase {
    const char* name;
    std::vector<std::u16string> events; // one key-down each
    const char* after;
};

void PrintTo(const SurrogateCase& c, std::ostream* os) {
    *os << c.name;
}

class SurrogateUnits : public testing::TestWithParam<SurrogateCase> {};

TEST_P(SurrogateUnits, JoinIntoOneCharacter) {
    SimDesktop desktop;
    show(desktop, "a[b]");
    for (const auto& units : GetParam().events) {
        desktop.press(units.empty() ? usKeyboard::keyDownFor(key::backspace, 0)
                                    : unicodeEvent(units));
    }
    EXPECT_EQ(draw(desktop.field()), GetParam().after);
}

const SurrogateCase surrogateCases[] = {
    {"LeadThenTrail", {u"\xD83D", u"\xDE00"}, "a\U0001F600|"},
    {"LeadAloneLeavesSelectionUntilTheCharacterIsWhole", {u"\xD83D"}, "a[b]"},
    {"TwoCharactersUnitByUnit",
     {u"\xD83D", u"\xDE00", u"\xD83D", u"\xDC4D"},
     "a\U0001F600\U0001F44D|"},
    {"LeadFollowedByLetterIsDropped", {u"\xD83D", u"x"}, "ax|"},
    {"LoneTrailIsDropped", {u"\xDE00"}, "a[b]"},
    {"SecondLeadReplacesFirst", {u"\xD83D", u"\xD83C", u"\xDF89"}, "a\U0001F389|"},
    {"OtherKeyBetweenForgetsTheLead", {u"\xD83D", u"", u"\xDE00"}, "a|"},
    {"TrailJoinsWithLeadAtEndOfSameEvent", {u"x\xD83D", u"\xDE00"}, "ax\U0001F600|"},
};

INSTANTIATE_TEST_SUITE_P(Field, SurrogateUnits, testing::ValuesIn(surrogateCases),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace quillo::sim
