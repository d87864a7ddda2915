#include "engine/TypingBuffer.h"

#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

const std::string combiningAcute = "\xCC\x81"; // U+0301
const std::string man = "\xF0\x9F\x91\xA8";
const std::string woman = "\xF0\x9F\x91\xA9";
const std::string girl = "\xF0\x9F\x91\xA7";
const std::string zeroWidthJoiner = "\xE2\x80\x8D";

std::string letters(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
    }
    return text;
}

// One step of typing: text appended, or one of the two edits.
const std::string backspace = "<backspace>";
const std::string clear = "<clear>";

struct BufferCase {
    const char* name;
    std::vector<std::string> steps;
    std::string buffer;
    std::size_t length;
};

const std::string family = man + zeroWidthJoiner + woman + zeroWidthJoiner + girl;
const std::string regionalF = "\xF0\x9F\x87\xAB";
const std::string regionalR = "\xF0\x9F\x87\xB7";

const BufferCase bufferCases[] = {
    {"starts empty", {}, "", 0},
    {"keeps a hundred characters", {letters(100)}, letters(100), 100},
    {"the hundred and first drops the first",
     {letters(100), "!"},
     letters(100).substr(1) + "!",
     100},
    {"three on ninety-nine drop two", {letters(99), "XYZ"}, letters(99).substr(2) + "XYZ", 100},
    {"an accent joins its letter", {"caf", "e", combiningAcute}, "cafe" + combiningAcute, 4},
    {"backspace takes the letter with its accent", {"cafe", combiningAcute, backspace}, "caf", 3},
    {"an accent on a full buffer drops nothing",
     {letters(100), combiningAcute},
     letters(100) + combiningAcute,
     100},
    {"backspace takes one character", {"omw", backspace}, "om", 2},
    {"backspace on nothing does nothing", {backspace, "a"}, "a", 1},
    {"clear empties a full buffer", {letters(150), clear, "omw"}, "omw", 3},
    {"appending nothing changes nothing", {"omw", ""}, "omw", 3},
    {"an emoji sequence typed piece by piece is one character",
     {"hi ", man, zeroWidthJoiner, woman, zeroWidthJoiner, girl},
     "hi " + family,
     4},
    {"backspace takes the whole sequence", {"hi ", family, backspace}, "hi ", 3},
    {"flag halves pair in typing order",
     {regionalF, regionalR, regionalF},
     regionalF + regionalR + regionalF,
     2},
    {"the next half completes the second flag",
     {regionalF, regionalR, regionalF, regionalR},
     regionalF + regionalR + regionalF + regionalR,
     2},
    {"carriage return then line feed is one character", {"a\r", "\n"}, "a\r\n", 2},
    {"backspace takes both", {"a\r", "\n", backspace}, "a", 1},
};

TEST(TypingBuffer, KeepsTheLatestCharactersAsTyped) {
    for (const BufferCase& c : bufferCases) {
        SCOPED_TRACE(c.name);
        TypingBuffer typed;
        for (const std::string& step : c.steps) {
            if (step == backspace) {
                typed.removeLast();
            } else if (step == clear) {
                typed.clear();
            } else {
                typed.append(step);
            }
            ASSERT_LE(typed.length(), TypingBuffer::maxLength);
        }
        EXPECT_EQ(typed.buffer(), c.buffer);
        EXPECT_EQ(typed.length(), c.length);
    }
}

TEST(TypingBuffer, KeystrokesOneByOneKeepTheLatestHundred) {
    TypingBuffer typed;
    const std::string typing = letters(1000);
    for (const char key : typing) {
        typed.append(std::string(1, key));
        ASSERT_LE(typed.length(), TypingBuffer::maxLength);
    }
    EXPECT_EQ(typed.buffer(), typing.substr(900));
}

TEST(TypingBuffer, ALongRunOfMixedTypingNeverExceedsTheLimit) {
    const std::string keys[] = {
        "a",  "\xC3\xA9",     combiningAcute, man,  zeroWidthJoiner, "\xF0\x9F\x87\xAB", " ", "\r",
        "\n", "\xE1\x84\x92", "\xE1\x85\xA1", "xyz"};
    TypingBuffer typed;
    std::string everything;
    for (std::size_t i = 0; i < 5000; ++i) {
        const std::string& key = keys[(i * 7 + i / 13) % std::size(keys)];
        typed.append(key);
        everything += key;
        ASSERT_LE(typed.length(), TypingBuffer::maxLength) << "after key " << i;
        if (i % 250 == 0) {
            // The kept text is what a fresh segmentation of all the typing would end with.
            ASSERT_EQ(typed.length(), unicode::graphemeCount(typed.buffer()));
            ASSERT_EQ(everything.substr(everything.size() - typed.buffer().size()), typed.buffer());
        }
    }
    EXPECT_EQ(typed.length(), TypingBuffer::maxLength);
}

TEST(TypingBuffer, CharacterStartsAreWhereAFreshSegmentationPutsThem) {
    // The shortcut tests cut the text at these offsets instead of segmenting it again, so they
    // must stay right through trimming, joining marks and flags, and Backspace.
    const std::string keys[] = {
        "a",  "\xC3\xA9", combiningAcute, "\xF0\x9F\x87\xAB", "\r", "\n", man, zeroWidthJoiner,
        "bc", " ",        "\xE1\x84\x92", "\xE1\x85\xA1"};
    TypingBuffer typed;
    for (std::size_t i = 0; i < 3000; ++i) {
        if (i % 17 == 5) {
            typed.removeLast();
        } else {
            typed.append(keys[(i * 7 + i / 11) % std::size(keys)]);
        }
        const auto boundaries = unicode::graphemeBoundaries(typed.buffer());
        ASSERT_EQ(boundaries.size(), typed.length() + 1) << "after key " << i;
        for (std::size_t c = 0; c <= typed.length(); ++c) {
            ASSERT_EQ(typed.characterStart(c), boundaries[c]) << "after key " << i;
        }
    }
}

TEST(TypingBuffer, AppendingItsOwnTextIsSafe) {
    TypingBuffer typed;
    typed.append(letters(80));
    typed.append(typed.buffer());
    EXPECT_EQ(typed.length(), 100u);
    EXPECT_EQ(typed.buffer(), (letters(80) + letters(80)).substr(60));
}

TEST(TypingBuffer, AnOverlongCharacterGrowsTheStorageAndClearGivesItBack) {
    TypingBuffer typed;
    std::string stacked = "e";
    for (int i = 0; i < 600; ++i) {
        stacked += combiningAcute;
    }
    typed.append("x");
    typed.append(stacked);
    EXPECT_EQ(typed.length(), 2u);
    EXPECT_EQ(typed.buffer(), "x" + stacked);
    typed.clear();
    EXPECT_EQ(typed.buffer(), "");
    EXPECT_LT(typed.buffer().capacity(), stacked.size());
}

TEST(TypingBuffer, FreedBytesAreOverwritten) {
    TypingBuffer typed;
    typed.append("secret");
    const char* storage = typed.buffer().data();
    typed.removeLast();
    EXPECT_EQ(storage[5], '\0');
    typed.append(letters(100));
    // The oldest characters were shifted out; the bytes past the end hold no copy of them.
    ASSERT_EQ(typed.buffer().data(), storage);
    typed.clear();
    for (std::size_t i = 0; i < 106; ++i) {
        ASSERT_EQ(storage[i], '\0') << "byte " << i;
    }
}

} // namespace
} // namespace quillo::engine
