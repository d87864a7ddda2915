// Runs Unicode's own table of grapheme-break cases through the segmentation the program counts
// characters with, so an ICU upgrade or a fast path that disagrees with UAX #29 shows up here.
#include "unicode/UnicodeText.h"

#include <cstddef>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace quillo::unicode {
namespace {

constexpr const char* breakTestPath = "/usr/share/unicode/auxiliary/GraphemeBreakTest.txt";

struct BreakCase {
    std::string text;
    std::vector<std::size_t> boundaries;
};

// A line reads "÷ 0020 × 0308 ÷ # comment": a marker before, between and after the code points,
// ÷ where a boundary falls and × where none does.
bool parseBreakLine(const std::string& line, BreakCase& parsed) {
    const std::string body = line.substr(0, line.find('#'));
    std::istringstream tokens(body);
    std::string token;
    bool any = false;
    while (tokens >> token) {
        any = true;
        if (token == "\xC3\xB7") { // ÷
            parsed.boundaries.push_back(parsed.text.size());
        } else if (token == "\xC3\x97") { // ×
        } else {
            parsed.text += fromScalar(static_cast<char32_t>(std::stoul(token, nullptr, 16)));
        }
    }
    return any;
}

TEST(GraphemeBreakConformance, AgreesWithUnicodeBreakTable) {
    std::ifstream file(breakTestPath);
    if (!file) {
        GTEST_SKIP() << breakTestPath << " is missing (Debian package unicode-data)";
    }
    std::string line;
    std::size_t lineNumber = 0;
    std::size_t checked = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        BreakCase expected;
        if (!parseBreakLine(line, expected)) {
            continue;
        }
        ++checked;
        EXPECT_EQ(graphemeBoundaries(expected.text), expected.boundaries)
            << breakTestPath << ":" << lineNumber << ": " << line;
        EXPECT_EQ(graphemeCount(expected.text), expected.boundaries.size() - 1)
            << breakTestPath << ":" << lineNumber;
    }
    EXPECT_GT(checked, 100u) << "the table was read but held almost no cases";
}

} // namespace
} // namespace quillo::unicode
