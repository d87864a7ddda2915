// The snippets file is written and read without a JSON tree, for speed and memory with large
// lists. These tests hold the fast writer to the JSON library's own output, and the fast reader
// to the reader that goes through the tree, on random lists and on random damage to documents.
#include "model/SnippetDocument.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <variant>
#include <vector>

namespace quillo::model {

// In PlainJsonTest.cpp.
std::vector<std::string> split(std::string_view text);

namespace {

using OrderedJson = nlohmann::ordered_json;
using namespace std::string_view_literals;

// The document as the JSON library writes it: the form the snippets file has always had.
std::string libraryEncoding(const std::vector<Snippet>& snippets) {
    OrderedJson document = OrderedJson::array();
    for (const auto& s : snippets) {
        OrderedJson object = {{"id", s.id.toString()},
                              {"shortcut", s.shortcut},
                              {"replacement", s.replacement},
                              {"isEnabled", s.isEnabled},
                              {"triggerMode", toString(s.triggerMode)},
                              {"allowedApps", s.allowedApps},
                              {"blockedApps", s.blockedApps}};
        if (s.hotkeyKeyCode) {
            object["hotkeyKeyCode"] = *s.hotkeyKeyCode;
        }
        if (s.hotkeyModifiers) {
            object["hotkeyModifiers"] = *s.hotkeyModifiers;
        }
        object["macroSteps"] = OrderedJson::array();
        for (const auto& step : s.macroSteps) {
            object["macroSteps"].push_back({{"id", step.id.toString()},
                                            {"type", toString(step.type)},
                                            {"text", step.text},
                                            {"keyCode", step.keyCode},
                                            {"modifiers", step.modifiers},
                                            {"milliseconds", step.milliseconds}});
        }
        document.push_back(std::move(object));
    }
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

class RandomLists {
  public:
    explicit RandomLists(std::uint64_t seed) : random_(seed) {}

    std::vector<Snippet> list() {
        std::vector<Snippet> snippets(pick(0, 6));
        for (auto& s : snippets) {
            s.id = uuid();
            s.shortcut = text();
            s.replacement = text();
            s.isEnabled = chance(70);
            s.triggerMode = allTriggerModes[pick(0, 2)];
            for (auto* apps : {&s.allowedApps, &s.blockedApps}) {
                for (std::size_t n = pick(0, 2); n > 0; --n) {
                    apps->push_back(text());
                }
            }
            if (chance(40)) {
                s.hotkeyKeyCode = integer<std::int64_t>();
            }
            if (chance(40)) {
                s.hotkeyModifiers = integer<std::uint64_t>();
            }
            for (std::size_t n = chance(30) ? pick(1, 3) : 0; n > 0; --n) {
                s.macroSteps.push_back({uuid(), allStepTypes[pick(0, 2)], text(),
                                        integer<std::int64_t>(), integer<std::uint64_t>(),
                                        integer<std::int64_t>()});
            }
        }
        return snippets;
    }

    // Text with everything JSON escapes, text beyond ASCII, and bytes that are not UTF-8 (the
    // pieces after the first 21).
    std::string text() {
        static const auto pieces =
            split("a|Z| |\"|\\|/|\n|\r|\t|\b|\f|\0|\x01|\x1f|\x7f|é|e\xCC\x81|☕|"
                  "👩|\xEF\xBF\xBD|{cursor}|\xFF|\x80|\xC3|\xE2\x98|\xC0\x80|"
                  "\xED\xA0\x80|\xF4\x90\x80\x80|\xF0\x9F\x91"sv);
        std::string out;
        for (std::size_t n = pick(0, 6); n > 0; --n) {
            out += pieces[chance(90) ? pick(0, 20) : pick(0, pieces.size() - 1)];
        }
        return out;
    }

    template <typename Integer>
    Integer integer() {
        const Integer choices[] = {
            std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max(),
            static_cast<Integer>(pick(0, 200)), static_cast<Integer>(random_())};
        return choices[pick(0, 3)];
    }

    Uuid uuid() {
        std::array<std::uint8_t, 16> bytes{};
        std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random_()); });
        return Uuid(bytes);
    }

    bool chance(std::size_t percent) { return pick(0, 99) < percent; }
    std::size_t pick(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random_);
    }
    std::mt19937_64& engine() { return random_; }

  private:
    std::mt19937_64 random_;
};

// The error, or the document the snippets read write again: equal lists write equal documents.
std::string outcome(const std::variant<std::vector<Snippet>, DecodeError>& result) {
    if (const auto* error = std::get_if<DecodeError>(&result)) {
        return "error: " + error->description;
    }
    return encodeSnippets(std::get<std::vector<Snippet>>(result));
}

// On random lists: the writer against the library, the two readers against each other, and
// what is read back writes the same document again.
TEST(SnippetDocument, WritesWhatTheJsonLibraryWritesAndReadsItBack) {
    for (std::uint64_t seed = 1; seed <= 3000; ++seed) {
        const auto snippets = RandomLists(seed).list();
        const std::string expected = libraryEncoding(snippets);
        ASSERT_EQ(encodeSnippets(snippets), expected) << "seed " << seed;
        ASSERT_EQ(encodeSnippetsAsBytes(snippets),
                  platform::Bytes(expected.begin(), expected.end()))
            << "seed " << seed;
        ASSERT_EQ(outcome(decodeSnippets(expected)), expected) << "seed " << seed;
        ASSERT_EQ(outcome(decodeSnippetsThroughTree(expected)), expected) << "seed " << seed;
    }
}

// --- Documents a reader may meet ------------------------------------------------------------

// A snippet object as raw key/value pairs, so that keys can go missing, come twice or hold
// anything.
using Fields = std::vector<std::pair<std::string, std::string>>;

std::string objectText(const Fields& fields) {
    std::string text = "{";
    for (const auto& [key, value] : fields) {
        text += (text.size() > 1 ? "," : "") + nlohmann::json(key).dump() + ":" + value;
    }
    return text + "}";
}

Fields fieldsOf(const OrderedJson& object) {
    Fields fields;
    for (const auto& [key, value] : object.items()) {
        fields.emplace_back(key, value.dump());
    }
    return fields;
}

const auto oddValues = split(R"(null|true|false|0|-1|1.5|2.0|1e30|-0|[]|{}|["a",2]|[[]]|""|)"
                             R"("After Delimiter"|"Instant"|"Hotkey"|"Wait"|"wait"|"not-a-uuid"|)"
                             R"("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"|18446744073709551615|)"
                             R"(18446744073709551616|9223372036854775807|9223372036854775808|)"
                             R"(-9223372036854775808|-9223372036854775809|{"a":[1,{}]}|)"
                             R"("\u00e9\ud83d\udc69"|[{}]|[{"id":1}]|["x"])");
const auto snippetKeys = split("id|shortcut|replacement|isEnabled|triggerMode|allowedApps|"
                               "blockedApps|hotkeyKeyCode|hotkeyModifiers|macroSteps|extra");
const auto stepKeys = split("id|type|text|keyCode|modifiers|milliseconds|note");

// One random change that a hand edit, another program or a broken disk could make.
void damage(Fields& fields, RandomLists& random, const std::vector<std::string>& keys) {
    const std::string& odd = oddValues[random.pick(0, oddValues.size() - 1)];
    // An object without fields (a step written as {}) can only gain one.
    const std::size_t at = fields.empty() ? 0 : random.pick(0, fields.size() - 1);
    switch (fields.empty() ? 1 : random.pick(0, 5)) {
    case 0:
        fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(at));
        break;
    case 1: // a key again, with another value
        fields.emplace_back(keys[random.pick(0, keys.size() - 1)], odd);
        break;
    case 2:
        fields[at].second = odd;
        break;
    case 3:
        std::shuffle(fields.begin(), fields.end(), random.engine());
        break;
    case 4: // a key the format does not have
        fields.emplace_back("x" + std::to_string(random.pick(0, 9)), odd);
        break;
    default: // damage inside a step
        for (auto& [key, value] : fields) {
            auto steps = OrderedJson::parse(value);
            if (key == "macroSteps" && steps.is_array() && !steps.empty() && steps[0].is_object()) {
                auto stepFields = fieldsOf(steps[0]);
                damage(stepFields, random, stepKeys);
                steps[0] = OrderedJson::parse(objectText(stepFields));
                value = steps.dump();
            }
        }
    }
}

std::string damagedDocument(RandomLists& random) {
    std::string document = "[";
    for (const auto& snippet : OrderedJson::parse(encodeSnippets(random.list()))) {
        Fields fields = fieldsOf(snippet);
        for (std::size_t n = random.chance(60) ? random.pick(1, 3) : 0; n > 0; --n) {
            damage(fields, random, snippetKeys);
        }
        document += (document.size() > 1 ? "," : "") + objectText(fields);
    }
    document += "]";
    // Damage to the bytes themselves.
    if (random.chance(15)) {
        document.resize(random.pick(0, document.size() - 1));
    }
    if (random.chance(10) && !document.empty()) {
        constexpr std::string_view bytes = "[]{},:\" 1ae\xFF\\";
        document[random.pick(0, document.size() - 1)] = bytes[random.pick(0, bytes.size() - 1)];
    }
    if (random.chance(5)) {
        document = "\xEF\xBB\xBF\n " + document + " \r\n";
    }
    if (random.chance(3)) {
        document = "{\"snippets\":" + document + "}";
    }
    return document;
}

TEST(SnippetDocumentReaders, AgreeOnDamagedDocuments) {
    std::size_t decoded = 0;
    for (std::uint64_t seed = 1; seed <= 6000; ++seed) {
        RandomLists random(seed);
        const std::string document = damagedDocument(random);
        const auto fast = decodeSnippets(document);
        ASSERT_EQ(outcome(fast), outcome(decodeSnippetsThroughTree(document)))
            << "seed " << seed << ": " << document;
        decoded += fast.index() == 0;
    }
    // Both kinds of outcome must be well represented for the comparison to mean anything.
    EXPECT_GT(decoded, 1000u);
    EXPECT_LT(decoded, 5000u);
}

} // namespace
} // namespace quillo::model
