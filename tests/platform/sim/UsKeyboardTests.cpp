#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <string>

namespace quillo::sim {
namespace {

namespace key = platform::key;
namespace flag = platform::flag;

struct CharacterCase {
    char32_t ch;
    KeyCode keyCode;
    EventFlags flags;
    std::u16string text;
};

void PrintTo(const CharacterCase& c, std::ostream* os) {
    *os << "U+" << std::hex << static_cast<std::uint32_t>(c.ch);
}

class CharacterKeys : public testing::TestWithParam<CharacterCase> {};

TEST_P(CharacterKeys, TypeTheCharacterAsAUsKeyboardWould) {
    const auto& c = GetParam();
    const KeyEvent event = usKeyboard::keyDownFor(c.ch);
    EXPECT_EQ(event.type, platform::KeyEventType::keyDown);
    EXPECT_EQ(event.keyCode, c.keyCode);
    EXPECT_EQ(event.flags, c.flags);
    EXPECT_EQ(std::u16string(event.textView()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    UsKeyboard, CharacterKeys,
    testing::Values(
        CharacterCase{U'a', 0, 0, u"a"}, CharacterCase{U'A', 0, flag::shift, u"A"},
        CharacterCase{U's', 1, 0, u"s"}, CharacterCase{U'b', 11, 0, u"b"},
        CharacterCase{U'q', 12, 0, u"q"}, CharacterCase{U'y', 16, 0, u"y"},
        CharacterCase{U't', 17, 0, u"t"}, CharacterCase{U'o', 31, 0, u"o"},
        CharacterCase{U'M', 46, flag::shift, u"M"}, CharacterCase{U'1', 18, 0, u"1"},
        CharacterCase{U'!', 18, flag::shift, u"!"}, CharacterCase{U'5', 23, 0, u"5"},
        CharacterCase{U'%', 23, flag::shift, u"%"}, CharacterCase{U'6', 22, 0, u"6"},
        CharacterCase{U'^', 22, flag::shift, u"^"}, CharacterCase{U'0', 29, 0, u"0"},
        CharacterCase{U')', 29, flag::shift, u")"}, CharacterCase{U'=', 24, 0, u"="},
        CharacterCase{U'+', 24, flag::shift, u"+"}, CharacterCase{U'-', 27, 0, u"-"},
        CharacterCase{U'_', 27, flag::shift, u"_"}, CharacterCase{U'[', 33, 0, u"["},
        CharacterCase{U'{', 33, flag::shift, u"{"}, CharacterCase{U']', 30, 0, u"]"},
        CharacterCase{U'}', 30, flag::shift, u"}"}, CharacterCase{U'\\', 42, 0, u"\\"},
        CharacterCase{U'|', 42, flag::shift, u"|"}, CharacterCase{U';', 41, 0, u";"},
        CharacterCase{U':', 41, flag::shift, u":"}, CharacterCase{U'\'', 39, 0, u"'"},
        CharacterCase{U'"', 39, flag::shift, u"\""}, CharacterCase{U',', 43, 0, u","},
        CharacterCase{U'<', 43, flag::shift, u"<"}, CharacterCase{U'.', 47, 0, u"."},
        CharacterCase{U'>', 47, flag::shift, u">"}, CharacterCase{U'/', 44, 0, u"/"},
        CharacterCase{U'?', 44, flag::shift, u"?"}, CharacterCase{U'`', 50, 0, u"`"},
        CharacterCase{U'~', 50, flag::shift, u"~"}, CharacterCase{U'@', 19, flag::shift, u"@"},
        CharacterCase{U'&', 26, flag::shift, u"&"}, CharacterCase{U'*', 28, flag::shift, u"*"},
        CharacterCase{U'(', 25, flag::shift, u"("},
        // Return gives a carriage return, as on a Mac.
        CharacterCase{U'\n', key::returnKey, 0, u"\r"}, CharacterCase{U'\t', key::tab, 0, u"\t"},
        CharacterCase{U' ', key::space, 0, u" "},
        // What the layout lacks comes as text on key code 0.
        CharacterCase{U'\u00e9', 0, 0, u"\u00e9"}, CharacterCase{U'\u20ac', 0, 0, u"\u20ac"},
        CharacterCase{U'\U0001F600', 0, 0, u"\U0001F600"},
        CharacterCase{U'\U00010348', 0, 0, u"\U00010348"}));

struct ComboCase {
    const char* name;
    KeyCode keyCode;
    EventFlags flags;
    std::u16string text;
};

void PrintTo(const ComboCase& c, std::ostream* os) {
    *os << c.name;
}

class Combinations : public testing::TestWithParam<ComboCase> {};

TEST_P(Combinations, CarryTheTextAMacGives) {
    const auto& c = GetParam();
    const KeyEvent event = usKeyboard::keyDownFor(c.keyCode, c.flags);
    EXPECT_EQ(event.keyCode, c.keyCode);
    EXPECT_EQ(event.flags, c.flags);
    EXPECT_EQ(std::u16string(event.textView()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    UsKeyboard, Combinations,
    testing::Values(ComboCase{"m", key::m, 0, u"m"}, ComboCase{"shiftM", key::m, flag::shift, u"M"},
                    ComboCase{"shift2", 19, flag::shift, u"@"},
                    ComboCase{"capsLockDoesNotShift", key::m, flag::capsLock, u"m"},
                    ComboCase{"commandV", key::v, flag::command, u"v"},
                    ComboCase{"commandShiftV", key::v, flag::command | flag::shift, u"V"},
                    ComboCase{"optionKeepsLayoutText", key::a, flag::option, u"a"},
                    ComboCase{"controlM", key::m, flag::control, u""},
                    ComboCase{"controlOptionM", key::m, flag::control | flag::option, u""},
                    ComboCase{"return", key::returnKey, 0, u"\r"},
                    ComboCase{"backspace", key::backspace, 0, u"\b"},
                    ComboCase{"escape", key::escape, 0, u"\x1b"},
                    ComboCase{"forwardDelete", key::forwardDelete, 0, u"\uF728"},
                    ComboCase{"left", key::leftArrow, 0, u"\uF702"},
                    ComboCase{"right", key::rightArrow, 0, u"\uF703"},
                    ComboCase{"up", key::upArrow, 0, u"\uF700"},
                    ComboCase{"down", key::downArrow, 0, u"\uF701"},
                    ComboCase{"unknownKey", 10, 0, u""}, ComboCase{"f5", 96, 0, u""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(UsKeyboard, EveryKeyOfTheLayoutTypesBackWhatItIsFoundBy) {
    // Every printable key: the key found for its text, with or without Shift, is the key itself.
    int printable = 0;
    for (KeyCode code = 0; code < 128; ++code) {
        for (bool shift : {false, true}) {
            const std::u16string text = usKeyboard::textFor(code, shift);
            if (text.empty() || text[0] < 0x20 || text[0] >= 0xF700) {
                continue;
            }
            ++printable;
            const KeyEvent event = usKeyboard::keyDownFor(static_cast<char32_t>(text[0]));
            EXPECT_EQ(event.keyCode, code) << "key " << code << " shift " << shift;
            if (code != key::space) {
                EXPECT_EQ((event.flags & flag::shift) != 0, shift) << "key " << code;
            }
            EXPECT_EQ(usKeyboard::keyCodeFor(static_cast<char32_t>(text[0])), code);
        }
    }
    // 47 keys with two characters each and the space bar typing one character twice.
    EXPECT_EQ(printable, 47 * 2 + 2);
}

TEST(UsKeyboard, KeyCodeOfNamedCharacters) {
    EXPECT_EQ(usKeyboard::keyCodeFor(U'm'), key::m);
    EXPECT_EQ(usKeyboard::keyCodeFor(U'M'), key::m);
    EXPECT_EQ(usKeyboard::keyCodeFor(U'c'), key::c);
    EXPECT_EQ(usKeyboard::keyCodeFor(U'/'), 44);
    EXPECT_EQ(usKeyboard::keyCodeFor(U'\u00e9'), std::nullopt);
    EXPECT_EQ(usKeyboard::keyCodeFor(U'\U0001F600'), std::nullopt);
    EXPECT_EQ(usKeyboard::keyCodeFor(U'\b'), std::nullopt);
}

TEST(UsKeyboard, TheDesktopLayoutGivesUnshiftedText) {
    SimDesktop desktop;
    const auto& layout = desktop.services().keyboardLayout;
    EXPECT_EQ(layout.textForKey(key::m), u"m");
    EXPECT_EQ(layout.textForKey(18), u"1");
    EXPECT_EQ(layout.textForKey(key::returnKey), u"\r");
    EXPECT_EQ(layout.textForKey(10), u"");
}

} // namespace
} // namespace quillo::sim
