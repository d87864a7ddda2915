#include "engine/TypingBuffer.h"

#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <string>

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

TEST(TypingBuffer, startsEmpty) {
    const TypingBuffer typed;
    EXPECT_EQ(typed.buffer(), "");
    EXPECT_EQ(typed.length(), 0u);
}

TEST(TypingBuffer, keepsAHundredCharacters) {
    TypingBuffer typed;
    typed.append(letters(100));
    EXPECT_EQ(typed.length(), 100u);
    EXPECT_EQ(typed.buffer(), letters(100));
}

TEST(TypingBuffer, theHundredAndFirstCharacterDropsTheFirst) {
    TypingBuffer typed;
    typed.append(letters(100));
    typed.append("!");
    EXPECT_EQ(typed.length(), 100u);
    EXPECT_EQ(typed.buffer(), letters(100).substr(1) + "!");
}

TEST(TypingBuffer, threeCharactersOnNinetyNineDropTwo) {
    TypingBuffer typed;
    typed.append(letters(99));
    typed.append("XYZ");
    EXPECT_EQ(typed.length(), 100u);
    EXPECT_EQ(typed.buffer(), letters(99).substr(2) + "XYZ");
}

TEST(TypingBuffer, keystrokesOneByOneKeepTheLatestHundred) {
    TypingBuffer typed;
    const std::string typing = letters(1000);
    for (const char key : typing) {
        typed.append(std::string(1, key));
        ASSERT_LE(typed.length(), TypingBuffer::maxLength);
    }
    EXPECT_EQ(typed.buffer(), typing.substr(900));
}

TEST(TypingBuffer, aCombiningAccentJoinsItsLetter) {
    TypingBuffer typed;
    typed.append("caf");
    typed.append("e");
    ASSERT_EQ(typed.length(), 4u);
    typed.append(combiningAcute);
    EXPECT_EQ(typed.length(), 4u);
    EXPECT_EQ(typed.buffer(), "cafe" + combiningAcute);
    typed.removeLast();
    EXPECT_EQ(typed.buffer(), "caf");
    EXPECT_EQ(typed.length(), 3u);
}

TEST(TypingBuffer, anAccentOnAFullBufferDropsNothing) {
    TypingBuffer typed;
    typed.append(letters(100));
    typed.append(combiningAcute);
    EXPECT_EQ(typed.length(), 100u);
    EXPECT_EQ(typed.buffer(), letters(100) + combiningAcute);
}

TEST(TypingBuffer, removeLastTakesOneCharacter) {
    TypingBuffer typed;
    typed.append("omw");
    typed.removeLast();
    EXPECT_EQ(typed.buffer(), "om");
    EXPECT_EQ(typed.length(), 2u);
}

TEST(TypingBuffer, removeLastOnEmptyDoesNothing) {
    TypingBuffer typed;
    typed.removeLast();
    EXPECT_EQ(typed.buffer(), "");
    EXPECT_EQ(typed.length(), 0u);
    typed.append("a");
    EXPECT_EQ(typed.buffer(), "a");
}

TEST(TypingBuffer, clearEmptiesAFullBuffer) {
    TypingBuffer typed;
    typed.append(letters(150));
    typed.clear();
    EXPECT_EQ(typed.buffer(), "");
    EXPECT_EQ(typed.length(), 0u);
    typed.append("omw");
    EXPECT_EQ(typed.buffer(), "omw");
}

TEST(TypingBuffer, appendingNothingChangesNothing) {
    TypingBuffer typed;
    typed.append("omw");
    typed.append("");
    EXPECT_EQ(typed.buffer(), "omw");
    EXPECT_EQ(typed.length(), 3u);
}

TEST(TypingBuffer, anEmojiSequenceTypedPieceByPieceIsOneCharacter) {
    TypingBuffer typed;
    typed.append("hi ");
    for (const std::string& piece : {man, zeroWidthJoiner, woman, zeroWidthJoiner, girl}) {
        typed.append(piece);
    }
    EXPECT_EQ(typed.length(), 4u);
    EXPECT_EQ(typed.buffer(), "hi " + man + zeroWidthJoiner + woman + zeroWidthJoiner + girl);
    typed.removeLast();
    EXPECT_EQ(typed.buffer(), "hi ");
}

TEST(TypingBuffer, flagHalvesPairInTypingOrder) {
    const std::string regionalF = "\xF0\x9F\x87\xAB";
    const std::string regionalR = "\xF0\x9F\x87\xB7";
    TypingBuffer typed;
    typed.append(regionalF);
    typed.append(regionalR);
    typed.append(regionalF);
    EXPECT_EQ(typed.length(), 2u);
    typed.append(regionalR);
    EXPECT_EQ(typed.length(), 2u);
}

TEST(TypingBuffer, carriageReturnThenLineFeedIsOneCharacter) {
    TypingBuffer typed;
    typed.append("a\r");
    typed.append("\n");
    EXPECT_EQ(typed.length(), 2u);
    typed.removeLast();
    EXPECT_EQ(typed.buffer(), "a");
}

TEST(TypingBuffer, aLongRunOfMixedTypingNeverExceedsTheLimit) {
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

TEST(TypingBuffer, characterStartsAreWhereAFreshSegmentationPutsThem) {
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

TEST(TypingBuffer, appendingItsOwnTextIsSafe) {
    TypingBuffer typed;
    typed.append(letters(80));
    typed.append(typed.buffer());
    EXPECT_EQ(typed.length(), 100u);
    EXPECT_EQ(typed.buffer(), (letters(80) + letters(80)).substr(60));
}

TEST(TypingBuffer, anOverlongCharacterGrowsTheStorageAndClearGivesItBack) {
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

TEST(TypingBuffer, freedBytesAreOverwritten) {
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
