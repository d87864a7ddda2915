#include "unicode/UnicodeText.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::unicode {
namespace {

const std::string eAcutePrecomposed = "\xC3\xA9";                  // U+00E9
const std::string eAcuteDecomposed = "e\xCC\x81";                  // e, U+0301
const std::string flagFrance = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"; // U+1F1EB U+1F1F7
// man, ZWJ, woman, ZWJ, girl, ZWJ, boy
const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D"
                           "\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6";
// The syllable "han" spelt with conjoining jamo: leading, vowel, trailing.
const std::string hanJamo = "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB";

struct CountCase {
    const char* name;
    std::string text;
    std::size_t characters;
};

class GraphemeCount : public testing::TestWithParam<CountCase> {};

TEST_P(GraphemeCount, CountsUserPerceivedCharacters) {
    EXPECT_EQ(graphemeCount(GetParam().text), GetParam().characters);
    EXPECT_EQ(graphemeBoundaries(GetParam().text).size(), GetParam().characters + 1);
}

INSTANTIATE_TEST_SUITE_P(
    UnicodeText, GraphemeCount,
    testing::Values(CountCase{"Empty", "", 0}, CountCase{"Ascii", "omw", 3},
                    CountCase{"LetterWithCombiningAcute", eAcuteDecomposed, 1},
                    CountCase{"PrecomposedLetter", eAcutePrecomposed, 1},
                    CountCase{"CarriageReturnLineFeed", "\r\n", 1},
                    CountCase{"LineFeedCarriageReturn", "\n\r", 2},
                    CountCase{"TextAroundCrLf", "a\r\nb", 3}, CountCase{"Flag", flagFrance, 1},
                    CountCase{"TwoFlags", flagFrance + flagFrance, 2},
                    CountCase{"FamilyZwjSequence", family, 1},
                    CountCase{"HangulJamoSyllable", hanJamo, 1},
                    CountCase{"MixedText", "caf" + eAcuteDecomposed + " " + family, 6}),
    [](const testing::TestParamInfo<CountCase>& param) { return param.param.name; });

TEST(UnicodeText, BoundariesAreByteOffsets) {
    EXPECT_EQ(graphemeBoundaries(""), (std::vector<std::size_t>{0}));
    EXPECT_EQ(graphemeBoundaries("a" + eAcuteDecomposed + "b"),
              (std::vector<std::size_t>{0, 1, 4, 5}));
    EXPECT_EQ(graphemeBoundaries(flagFrance + "x"), (std::vector<std::size_t>{0, 8, 9}));
    EXPECT_EQ(graphemeBoundaries("x\r\ny"), (std::vector<std::size_t>{0, 1, 3, 4}));
}

struct NfcCase {
    const char* name;
    std::string text;
};

class IsNfc : public testing::TestWithParam<NfcCase> {};

// The shortcut lookup skips normalising text that is already normalised, so isNfc must say yes
// exactly when nfc would hand the text back unchanged.
TEST_P(IsNfc, AgreesWithNfc) {
    const std::string& text = GetParam().text;
    EXPECT_EQ(isNfc(text), nfc(text) == text);
}

INSTANTIATE_TEST_SUITE_P(
    UnicodeText, IsNfc,
    testing::Values(NfcCase{"Empty", ""}, NfcCase{"Ascii", "omw"},
                    NfcCase{"Precomposed", "caf" + eAcutePrecomposed},
                    NfcCase{"Decomposed", "caf" + eAcuteDecomposed},
                    NfcCase{"LonelyCombiningMark", "\xCC\x81x"},
                    NfcCase{"MarksOutOfCanonicalOrder", "a\xCC\x81\xCC\xA3"},
                    NfcCase{"HangulJamo", hanJamo}, NfcCase{"AngstromSign", "\xE2\x84\xAB"},
                    NfcCase{"GreekQuestionMark", "\xCD\xBE"}, NfcCase{"Emoji", family},
                    NfcCase{"ReplacementCharacter", "\xEF\xBF\xBD"},
                    NfcCase{"InvalidUtf8", "a\xFF"
                                           "b"},
                    NfcCase{"TruncatedSequence", "\xC3"}),
    [](const testing::TestParamInfo<NfcCase>& param) { return param.param.name; });

TEST(UnicodeText, NfcComposesDecomposedLetters) {
    EXPECT_EQ(nfc(eAcuteDecomposed), eAcutePrecomposed);
    EXPECT_EQ(nfc(eAcutePrecomposed), eAcutePrecomposed);
    EXPECT_EQ(nfc("plain ascii"), "plain ascii");
    EXPECT_EQ(nfc(""), "");
    EXPECT_EQ(nfc(hanJamo), "\xED\x95\x9C"); // U+D55C
}

TEST(UnicodeText, nfcReplacesInvalidUtf8) {
    EXPECT_EQ(nfc("a\xFF"
                  "b"),
              "a\xEF\xBF\xBD"
              "b");
}

struct SuffixCase {
    const char* name;
    std::string text;
    std::string suffix;
    bool endsWith;
};

class EndsWithCanonically : public testing::TestWithParam<SuffixCase> {};

TEST_P(EndsWithCanonically, ComparesCharactersUnderCanonicalEquivalence) {
    EXPECT_EQ(endsWithCanonically(GetParam().text, GetParam().suffix), GetParam().endsWith);
}

INSTANTIATE_TEST_SUITE_P(
    UnicodeText, EndsWithCanonically,
    testing::Values(
        SuffixCase{"PlainSuffix", "on my way omw", "omw", true},
        SuffixCase{"WholeText", "omw", "omw", true},
        SuffixCase{"DifferentEnd", "omw", "omx", false},
        SuffixCase{"DecomposedSuffixPrecomposedText", "caf" + eAcutePrecomposed,
                   "f" + eAcuteDecomposed, true},
        SuffixCase{"PrecomposedSuffixDecomposedText", "caf" + eAcuteDecomposed,
                   "af" + eAcutePrecomposed, true},
        SuffixCase{"SuffixLongerThanText", "mw", "omw", false},
        SuffixCase{"SuffixOnEmptyText", "", "x", false}, SuffixCase{"EmptySuffix", "omw", "", true},
        SuffixCase{"EmptySuffixOnEmptyText", "", "", true},
        SuffixCase{"CaseSensitive", "OMW", "omw", false},
        // The accent belongs to the e before it, so the bare letter is not the last character.
        SuffixCase{"LetterWithoutItsAccent", "caf" + eAcuteDecomposed, "fe", false},
        SuffixCase{"AccentAlone", "caf" + eAcuteDecomposed, "\xCC\x81", false},
        SuffixCase{"EmojiSuffix", "hi " + family, " " + family, true},
        SuffixCase{"CrlfSuffix", "line\r\n", "e\r\n", true},
        SuffixCase{"LineFeedIsNotCrLf", "line\r\n", "\n", false}),
    [](const testing::TestParamInfo<SuffixCase>& param) { return param.param.name; });

TEST(UnicodeText, ConvertsBetweenEncodings) {
    const std::string text = "a" + eAcutePrecomposed + flagFrance;
    EXPECT_EQ(toUtf16(text), (std::u16string{u'a', 0x00E9, 0xD83C, 0xDDEB, 0xD83C, 0xDDF7}));
    EXPECT_EQ(toUtf8(toUtf16(text)), text);
    EXPECT_EQ(toScalars(text), (std::u32string{U'a', 0x00E9, 0x1F1EB, 0x1F1F7}));
    EXPECT_EQ(fromScalar(U'a'), "a");
    EXPECT_EQ(fromScalar(0x00E9), eAcutePrecomposed);
    EXPECT_EQ(fromScalar(0x20AC), "\xE2\x82\xAC");
    EXPECT_EQ(fromScalar(0x1F1EB), "\xF0\x9F\x87\xAB");
}

TEST(UnicodeText, InvalidInputBecomesReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(fromScalar(0xD800), replacement);
    EXPECT_EQ(fromScalar(0x110000), replacement);
    EXPECT_EQ(toUtf8(std::u16string{u'a', 0xD800, u'b'}), "a" + replacement + "b");
    EXPECT_EQ(toScalars("a\x80"
                        "b"),
              (std::u32string{U'a', 0xFFFD, U'b'}));
    // A truncated sequence is one replacement, as ICU counts it.
    EXPECT_EQ(toScalars("\xE2\x82"), (std::u32string{0xFFFD}));
    EXPECT_EQ(toUtf16("\xE2\x82"), (std::u16string{0xFFFD}));
    EXPECT_EQ(toScalars("\xED\xA0\x80"), (std::u32string{0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(toUtf16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
}

TEST(UnicodeText, invalidUtf8NeverBreaksSegmentation) {
    const std::vector<std::string> broken = {"\xFF",
                                             "\x80\x80",
                                             "a\xE2\x82",
                                             "\xF0\x9F\x91",
                                             "e\xCC",
                                             "\xC0\xAF",
                                             "\xED\xA0\x80x",
                                             "\xF4\x90\x80\x80",
                                             "\xCC\x81\xFF\xCC\x81",
                                             std::string("a\0b", 3) + "\xF0"};
    for (const std::string& text : broken) {
        SCOPED_TRACE(testing::PrintToString(text));
        const std::vector<std::size_t> boundaries = graphemeBoundaries(text);
        ASSERT_GE(boundaries.size(), 2u);
        EXPECT_EQ(boundaries.front(), 0u);
        EXPECT_EQ(boundaries.back(), text.size());
        for (std::size_t i = 1; i < boundaries.size(); ++i) {
            EXPECT_LT(boundaries[i - 1], boundaries[i]);
        }
        EXPECT_EQ(graphemeCount(text), boundaries.size() - 1);
        EXPECT_TRUE(endsWithCanonically(text, text));
        EXPECT_FALSE(nfc(text).empty());
        EXPECT_FALSE(toUpper(text).empty());
    }
}

TEST(UnicodeText, UpperCaseUnderTheRootLocale) {
    EXPECT_EQ(toUpper("m"), "M");
    EXPECT_EQ(toUpper("omw 1!"), "OMW 1!");
    EXPECT_EQ(toUpper(eAcutePrecomposed), "\xC3\x89");
    EXPECT_EQ(toUpper("stra\xC3\x9F"
                      "e"),
              "STRASSE");
    // Root, not Turkish: i has no dot above when raised.
    EXPECT_EQ(toUpper("i"), "I");
    EXPECT_EQ(toUpper(""), "");
}

} // namespace
} // namespace quillo::unicode
