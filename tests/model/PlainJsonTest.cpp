// The quick walk over plain JSON must report exactly what the JSON library's parser reports
// whenever it takes a document at all: the snippets file is read with it, and a difference would
// load a file differently from the way it always loaded.
#include "model/PlainJson.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

namespace quillo::model {

// The pieces of a list written as one text, a bar between two (SnippetDocumentReadersTest.cpp
// uses it too).
std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> pieces;
    for (std::size_t from = 0, to = 0; from <= text.size(); from = to + 1) {
        to = std::min(text.find('|', from), text.size());
        pieces.emplace_back(text.substr(from, to - from));
    }
    return pieces;
}

namespace {

using Json = nlohmann::json;

// Every event as one line of text.
class Recorder {
  public:
    bool null() { return add("null"); }
    bool boolean(bool value) { return add(value ? "true" : "false"); }
    bool number_integer(Json::number_integer_t value) { return add("-" + std::to_string(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return add("+" + std::to_string(value)); }
    bool number_float(Json::number_float_t, const Json::string_t& text) { return add("." + text); }
    bool string(Json::string_t& value) { return add("string " + value); }
    bool binary(Json::binary_t&) { return add("binary"); }
    bool start_object(std::size_t size) { return add("{ " + std::to_string(size)); }
    bool key(Json::string_t& name) { return add("key " + name); }
    bool end_object() { return add("}"); }
    bool start_array(std::size_t size) { return add("[ " + std::to_string(size)); }
    bool end_array() { return add("]"); }
    bool parse_error(std::size_t, const std::string&, const Json::exception&) {
        return !add("error");
    }

    std::vector<std::string> events;

  private:
    bool add(std::string event) {
        events.push_back(std::move(event));
        return true;
    }
};

// Random JSON texts: mostly well formed, in every spelling the grammar allows (escapes, spaces,
// numbers of all shapes), with a few bytes changed now and then.
class RandomJson {
  public:
    explicit RandomJson(std::uint64_t seed) : random_(seed) {}

    std::string document() {
        std::string text = (chance(5) ? "\xEF\xBB\xBF" : "") + space() + value(0) + space();
        if (chance(20) && !text.empty()) {
            static constexpr std::string_view bytes = "[]{},:\" \\u0aeE.-+\x01\xFF\xC3\xED";
            // A byte changed, taken out or put in.
            const std::size_t at = pick(0, text.size() - 1);
            const std::size_t length = pick(0, 1);
            text.replace(at, length, pick(0, length) == 0 ? 1 : 0,
                         bytes[pick(0, bytes.size() - 1)]);
        }
        return text;
    }

  private:
    std::string value(int depth) {
        static const std::vector<std::string> literals = {"true", "false", "null",
                                                          "nul",  "True",  "truee"};
        switch (depth > 4 ? pick(2, 6) : pick(0, 6)) {
        case 0:
        case 1: {
            const bool isObject = pick(0, 1) == 0;
            std::string text = (isObject ? "{" : "[") + space();
            for (std::size_t n = pick(0, 4); n > 0; --n) {
                text += isObject ? string() + space() + ":" + space() : "";
                text += value(depth + 1) + space() + (n > 1 ? "," + space() : "");
            }
            return text + (isObject ? "}" : "]");
        }
        case 2:
        case 3:
            return string();
        case 4:
            return number();
        default:
            return literals[chance(90) ? pick(0, 2) : pick(0, literals.size() - 1)];
        }
    }

    // The pieces after the first 23 are not JSON, or not UTF-8.
    std::string string() {
        static const auto pieces =
            split("a|omw| |\\\"|\\\\|\\/|\\b|\\f|\\n|\\r|\\t|\\u0041|\\u00e9|"
                  "\\u00E9|\\u0000|\\u001f|\\u2603|\\ud83d\\udc69|é|☕|👩|/|"
                  "{}[],:|\\ud83d|\\udc69|\\uD83D\\u0041|\\x|\\u12|\t|\x7F|"
                  "\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80");
        std::string text = "\"";
        for (std::size_t n = pick(0, 5); n > 0; --n) {
            text += pieces[chance(85) ? pick(0, 22) : pick(0, pieces.size() - 1)];
        }
        return text + "\"";
    }

    std::string number() {
        static const auto numbers = split("0|1|-1|42|-0|007|1.5|-0.0|1e3|1E-3|2.50e+10|1.|.5|-|+1|"
                                          "18446744073709551615|18446744073709551616|"
                                          "-9223372036854775808|-9223372036854775809|"
                                          "9223372036854775807|123456789012345678901234|0x1F");
        return numbers[pick(0, numbers.size() - 1)];
    }

    std::string space() {
        static const std::vector<std::string> spaces = {"", "", "", " ", "\n  ", "\t", "\r\n"};
        return spaces[pick(0, spaces.size() - 1)];
    }

    bool chance(std::size_t percent) { return pick(0, 99) < percent; }
    std::size_t pick(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random_);
    }

    std::mt19937_64 random_;
};

TEST(PlainJson, ReportsWhatTheLibraryReportsWheneverItTakesADocument) {
    std::size_t taken = 0;
    std::size_t libraryTook = 0;
    for (std::uint64_t seed = 1; seed <= 30000; ++seed) {
        const std::string document = RandomJson(seed).document();
        Recorder walked;
        Recorder parsed;
        const bool libraryTakes = Json::sax_parse(document.begin(), document.end(), &parsed);
        libraryTook += libraryTakes;
        if (!walkPlainJson(document, walked)) {
            continue;
        }
        ++taken;
        ASSERT_TRUE(libraryTakes) << "seed " << seed << ": " << document;
        ASSERT_EQ(walked.events, parsed.events) << "seed " << seed << ": " << document;
    }
    // The walk must take most sound documents for the comparison to mean anything.
    EXPECT_GT(taken, libraryTook / 2) << taken << " of " << libraryTook;
}

// A handler that stops at its third event.
struct Stopper : Recorder {
    bool string(Json::string_t& value) { return Recorder::string(value) && events.size() < 3; }
};

TEST(PlainJson, StopsWhenTheHandlerSaysSo) {
    Stopper stopper;
    EXPECT_FALSE(walkPlainJson(R"(["a", "b", "c", "d"])", stopper));
    EXPECT_EQ(stopper.events.size(), 3u);
}

// What it leaves to the library, sound or not.
TEST(PlainJson, LeavesToTheLibraryWhatItIsNotSureOf) {
    auto cases = split(R"([1.5]|[1e3]|[-0]|[18446744073709551616]|[-9223372036854775809]|[01]|)"
                       R"([1,]|["\ud83d"]|["\ud83d\u0041"]|["\ud83d\ue000"]|[] []|)"
                       "[\"\xFF\"]|[\"a\tb\"]|"); // and the empty document
    cases.push_back(std::string(300, '[') + std::string(300, ']'));
    for (const auto& json : cases) {
        SCOPED_TRACE(json);
        Recorder recorder;
        EXPECT_FALSE(walkPlainJson(json, recorder));
    }
}

} // namespace
} // namespace quillo::model
