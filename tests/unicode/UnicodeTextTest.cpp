#include "unicode/UnicodeText.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <utility>
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
const std::string replacement = "\xEF\xBF\xBD";

TEST(UnicodeText, BoundariesAreTheByteOffsetsOfUserPerceivedCharacters) {
    using Offsets = std::vector<std::size_t>;
    const std::pair<std::string, Offsets> cases[] = {
        {"", {0}},
        {"omw", {0, 1, 2, 3}},
        {eAcuteDecomposed, {0, 3}},
        {"\r\n", {0, 2}},
        {"x\r\ny", {0, 1, 3, 4}},
        {family, {0, family.size()}},
        {"caf" + eAcuteDecomposed + " " + family, {0, 1, 2, 3, 6, 7, 7 + family.size()}},
    };
    for (const auto& [text, boundaries] : cases) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_EQ(graphemeBoundaries(text), boundaries);
        EXPECT_EQ(graphemeCount(text), boundaries.size() - 1);
    }
}

// The shortcut lookup skips normalising text that is already normalised, so isNfc must say yes
// exactly when nfc would hand the text back unchanged.
TEST(UnicodeText, NfcComposesReplacesInvalidUtf8AndIsNfcAgrees) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"omw", "omw"},
        {eAcuteDecomposed, eAcutePrecomposed},
        {"caf" + eAcutePrecomposed, "caf" + eAcutePrecomposed},
        {"\xCC\x81x", "\xCC\x81x"},
        {hanJamo, "\xED\x95\x9C"}, // U+D55C
        {family, family},
        {replacement, replacement},
        {"a\xFF!", "a" + replacement + "!"},
        {"\xC3", replacement}};
    for (const auto& [text, normalised] : cases) {
        EXPECT_EQ(nfc(text), normalised) << ::testing::PrintToString(text);
        EXPECT_EQ(isNfc(text), normalised == text) << ::testing::PrintToString(text);
    }
}

TEST(UnicodeText, EndsWithCanonicallyComparesWholeCharactersUnderCanonicalEquivalence) {
    const struct {
        std::string text;
        std::string suffix;
        bool endsWith;
    } cases[] = {
        {"on my way omw", "omw", true},
        {"omw", "omx", false},
        {"caf" + eAcutePrecomposed, "f" + eAcuteDecomposed, true},
        {"caf" + eAcuteDecomposed, "af" + eAcutePrecomposed, true},
        {"mw", "omw", false},
        {"", "x", false},
        {"omw", "", true},
        // The accent belongs to the e before it, so the bare letter is not the last character.
        {"caf" + eAcuteDecomposed, "fe", false},
        {"caf" + eAcuteDecomposed, "\xCC\x81", false},
        {"hi " + family, " " + family, true},
        {"line\r\n", "e\r\n", true},
        {"line\r\n", "\n", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(endsWithCanonically(c.text, c.suffix), c.endsWith)
            << ::testing::PrintToString(c.text) << " " << ::testing::PrintToString(c.suffix);
    }
}

TEST(UnicodeText, ConvertsBetweenEncodingsWithReplacementCharactersForInvalidInput) {
    const std::string text = "a" + eAcutePrecomposed + flagFrance;
    EXPECT_EQ(toUtf16(text), (std::u16string{u'a', 0x00E9, 0xD83C, 0xDDEB, 0xD83C, 0xDDF7}));
    EXPECT_EQ(toUtf8(toUtf16(text)), text);
    EXPECT_EQ(toScalars(text), (std::u32string{U'a', 0x00E9, 0x1F1EB, 0x1F1F7}));
    const std::pair<char32_t, std::string> scalars[] = {
        {U'a', "a"},           {0x00E9, eAcutePrecomposed},   {0x20AC, "\xE2\x82\xAC"},
        {0xD800, replacement}, {0x1F1EB, "\xF0\x9F\x87\xAB"}, {0x110000, replacement}};
    for (const auto& [scalar, utf8] : scalars) {
        EXPECT_EQ(fromScalar(scalar), utf8) << std::hex << static_cast<unsigned>(scalar);
    }
    EXPECT_EQ(toUtf8(std::u16string{u'a', 0xD800, u'b'}), "a" + replacement + "b");
    EXPECT_EQ(toScalars("a\x80!"), (std::u32string{U'a', 0xFFFD, U'!'}));
    // A truncated sequence is one replacement, as ICU counts it.
    EXPECT_EQ(toScalars("\xE2\x82"), (std::u32string{0xFFFD}));
    EXPECT_EQ(toUtf16("\xE2\x82"), (std::u16string{0xFFFD}));
    EXPECT_EQ(toScalars("\xED\xA0\x80"), (std::u32string{0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(toUtf16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
}

TEST(UnicodeText, InvalidUtf8NeverBreaksSegmentation) {
    using namespace std::string_literals;
    for (const std::string& text : {"\xFF"s, "a\xE2\x82"s, "e\xCC"s, "\xED\xA0\x80x"s,
                                    "\xCC\x81\xFF\xCC\x81"s, "a\0b\xF0"s}) {
        SCOPED_TRACE(::testing::PrintToString(text));
        const std::vector<std::size_t> boundaries = graphemeBoundaries(text);
        ASSERT_GE(boundaries.size(), 2u);
        EXPECT_EQ(boundaries.front(), 0u);
        EXPECT_EQ(boundaries.back(), text.size());
        EXPECT_EQ(std::adjacent_find(boundaries.begin(), boundaries.end(), std::greater_equal<>()),
                  boundaries.end());
        EXPECT_EQ(graphemeCount(text), boundaries.size() - 1);
        EXPECT_TRUE(endsWithCanonically(text, text));
        EXPECT_FALSE(nfc(text).empty());
        EXPECT_FALSE(toUpper(text).empty());
    }
}

TEST(UnicodeText, UpperCaseUnderTheRootLocale) {
    // Root, not Turkish: i has no dot above when raised.
    EXPECT_EQ(toUpper(eAcutePrecomposed), "\xC3\x89");
    EXPECT_EQ(toUpper("stra\u00DFe"), "STRASSE");
    EXPECT_EQ(toUpper("i"), "I");
}

} // namespace
} // namespace quillo::unicode
