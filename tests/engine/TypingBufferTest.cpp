#include "engine/TypingBuffer.h"

#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

const std::string acute = "\xCC\x81"; // U+0301, combining
const std::string man = "\xF0\x9F\x91\xA8";
const std::string woman = "\xF0\x9F\x91\xA9";
const std::string girl = "\xF0\x9F\x91\xA7";
const std::string zwj = "\xE2\x80\x8D"; // zero width joiner
const std::string family = man + zwj + woman + zwj + girl;
// Regional indicators: a pair is one flag.
const std::string F = "\xF0\x9F\x87\xAB";
const std::string R = "\xF0\x9F\x87\xB7";

std::string letters(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
    }
    return text;
}

// One step of typing: text appended, one of the two edits, or the buffer's own text appended.
const std::string backspace = "<backspace>";
const std::string clear = "<clear>";
const std::string itself = "<itself>";

void apply(TypingBuffer& typed, const std::string& step) {
    if (step == backspace) {
        typed.removeLast();
    } else if (step == clear) {
        typed.clear();
    } else if (step == itself) {
        typed.append(typed.buffer());
    } else {
        typed.append(step);
    }
}

struct BufferCase {
    const char* name;
    std::vector<std::string> steps;
    std::string buffer;
    std::size_t length;
};

const BufferCase bufferCases[] = {
    {"StartsEmpty", {}, "", 0},
    {"KeepsAHundredCharacters", {letters(100)}, letters(100), 100},
    {"TheHundredAndFirstDropsTheFirst", {letters(100), "!"}, letters(100).substr(1) + "!", 100},
    {"ThreeOnNinetyNineDropTwo", {letters(99), "XYZ"}, letters(99).substr(2) + "XYZ", 100},
    {"AnAccentJoinsItsLetter", {"caf", "e", acute}, "cafe" + acute, 4},
    {"BackspaceTakesTheLetterWithItsAccent", {"cafe", acute, backspace}, "caf", 3},
    {"AnAccentOnAFullBufferDropsNothing", {letters(100), acute}, letters(100) + acute, 100},
    {"BackspaceTakesOneCharacter", {"omw", backspace}, "om", 2},
    {"BackspaceOnNothingDoesNothing", {backspace, "a"}, "a", 1},
    {"ClearEmptiesAFullBuffer", {letters(150), clear, "omw"}, "omw", 3},
    {"AppendingNothingChangesNothing", {"omw", ""}, "omw", 3},
    {"EmojiSequenceTypedPieceByPieceIsOne", {"hi ", man, zwj, woman, zwj, girl}, "hi " + family, 4},
    {"BackspaceTakesTheWholeSequence", {"hi ", family, backspace}, "hi ", 3},
    {"FlagHalvesPairInTypingOrder", {F, R, F}, F + R + F, 2},
    {"TheNextHalfCompletesTheSecondFlag", {F, R, F, R}, F + R + F + R, 2},
    {"CarriageReturnThenLineFeedIsOneCharacter", {"a\r", "\n"}, "a\r\n", 2},
    {"BackspaceTakesBoth", {"a\r", "\n", backspace}, "a", 1},
    {"AppendingItselfIsSafe", {letters(80), itself}, (letters(80) + letters(80)).substr(60), 100},
};

TEST(TypingBuffer, KeepsTheLatestCharactersAsTyped) {
    for (const BufferCase& c : bufferCases) {
        SCOPED_TRACE(c.name);
        TypingBuffer typed;
        for (const std::string& step : c.steps) {
            apply(typed, step);
            ASSERT_LE(typed.length(), TypingBuffer::maxLength);
        }
        EXPECT_EQ(typed.buffer(), c.buffer);
        EXPECT_EQ(typed.length(), c.length);
    }
}

TEST(TypingBuffer, ALongRunOfMixedTypingKeepsTheLatestCharacters) {
    // The shortcut tests cut the text at the character starts instead of segmenting it again,
    // so they must stay where a fresh segmentation puts them through trimming, joining marks
    // and flags, and Backspace; and the kept text is what all the typing ends with.
    const std::string keys[] = {"a", "\xC3\xA9", acute, F,   "\r",           "\n",
                                man, zwj,        "bc",  " ", "\xE1\x84\x92", "\xE1\x85\xA1"};
    TypingBuffer typed;
    std::string everything;
    for (std::size_t i = 0; i < 4000; ++i) {
        const std::size_t before = typed.buffer().size();
        const std::string& key = i % 17 == 5 ? backspace : keys[(i * 7 + i / 11) % std::size(keys)];
        apply(typed, key);
        if (key == backspace) {
            everything.resize(everything.size() - (before - typed.buffer().size()));
        } else {
            everything += key;
        }
        const auto boundaries = unicode::graphemeBoundaries(typed.buffer());
        ASSERT_EQ(boundaries.size(), typed.length() + 1) << "after key " << i;
        ASSERT_LE(typed.length(), TypingBuffer::maxLength) << "after key " << i;
        ASSERT_TRUE(everything.ends_with(typed.buffer())) << "after key " << i;
        for (std::size_t c = 0; c <= typed.length(); ++c) {
            ASSERT_EQ(typed.characterStart(c), boundaries[c]) << "after key " << i;
        }
    }
    EXPECT_GE(typed.length(), TypingBuffer::maxLength - 1);
}

TEST(TypingBuffer, FreedBytesAreOverwrittenAndSpareStorageGivenBack) {
    TypingBuffer typed;
    typed.append("secret");
    const char* storage = typed.buffer().data();
    typed.removeLast();
    EXPECT_EQ(storage[5], '\0');
    // A two-byte character shifted out of a full buffer leaves two bytes past the end.
    typed.append("\xC3\xA9" + letters(99));
    typed.append("x");
    ASSERT_EQ(typed.buffer().data(), storage);
    EXPECT_EQ(storage[101], '\0');
    typed.clear();
    for (std::size_t i = 0; i < 106; ++i) {
        ASSERT_EQ(storage[i], '\0') << "byte " << i;
    }
    // An overlong character grows the storage; clear gives the extra back.
    std::string stacked = "e";
    for (int i = 0; i < 600; ++i) {
        stacked += acute;
    }
    typed.append("x" + stacked);
    EXPECT_EQ(typed.length(), 2u);
    EXPECT_EQ(typed.buffer(), "x" + stacked);
    typed.clear();
    EXPECT_LT(typed.buffer().capacity(), stacked.size());
}

} // namespace
} // namespace quillo::engine
