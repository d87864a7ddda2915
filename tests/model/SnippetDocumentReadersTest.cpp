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
namespace {

using OrderedJson = nlohmann::ordered_json;

// The document as the JSON library writes it: the form the snippets file has always had.
std::string libraryEncoding(const std::vector<Snippet>& snippets) {
    OrderedJson document = OrderedJson::array();
    for (const auto& s : snippets) {
        OrderedJson object = OrderedJson::object();
        object["id"] = s.id.toString();
        object["shortcut"] = s.shortcut;
        object["replacement"] = s.replacement;
        object["isEnabled"] = s.isEnabled;
        object["triggerMode"] = std::string(toString(s.triggerMode));
        object["allowedApps"] = s.allowedApps;
        object["blockedApps"] = s.blockedApps;
        if (s.hotkeyKeyCode) {
            object["hotkeyKeyCode"] = *s.hotkeyKeyCode;
        }
        if (s.hotkeyModifiers) {
            object["hotkeyModifiers"] = *s.hotkeyModifiers;
        }
        OrderedJson steps = OrderedJson::array();
        for (const auto& step : s.macroSteps) {
            OrderedJson o = OrderedJson::object();
            o["id"] = step.id.toString();
            o["type"] = std::string(toString(step.type));
            o["text"] = step.text;
            o["keyCode"] = step.keyCode;
            o["modifiers"] = step.modifiers;
            o["milliseconds"] = step.milliseconds;
            steps.push_back(std::move(o));
        }
        object["macroSteps"] = std::move(steps);
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
            s = snippet();
        }
        return snippets;
    }

    Snippet snippet() {
        Snippet s;
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
            MacroStep step;
            step.id = uuid();
            step.type = allStepTypes[pick(0, 2)];
            step.text = text();
            step.keyCode = integer<std::int64_t>();
            step.modifiers = integer<std::uint64_t>();
            step.milliseconds = integer<std::int64_t>();
            s.macroSteps.push_back(step);
        }
        return s;
    }

    // Text with everything JSON escapes, text beyond ASCII, and bytes that are not UTF-8.
    std::string text() {
        static const std::vector<std::string> pieces = {"a",
                                                        "Z",
                                                        " ",
                                                        "\"",
                                                        "\\",
                                                        "/",
                                                        "\n",
                                                        "\r",
                                                        "\t",
                                                        "\b",
                                                        "\f",
                                                        std::string(1, '\0'),
                                                        "\x01",
                                                        "\x1f",
                                                        "\x7f",
                                                        "\xC3\xA9",
                                                        "e\xCC\x81",
                                                        "\xE2\x98\x95",
                                                        "\xF0\x9F\x91\xA9",
                                                        "\xEF\xBF\xBD",
                                                        "{cursor}",
                                                        "\xFF",
                                                        "\x80",
                                                        "\xC3",
                                                        "\xE2\x98",
                                                        "\xC0\x80",
                                                        "\xED\xA0\x80",
                                                        "\xF4\x90\x80\x80",
                                                        "\xF0\x9F\x91"};
        std::string out;
        for (std::size_t n = pick(0, 6); n > 0; --n) {
            // Mostly well-formed: the pieces that are not UTF-8 come last in the table.
            out += pieces[chance(90) ? pick(0, 20) : pick(0, pieces.size() - 1)];
        }
        return out;
    }

    template <typename Integer>
    Integer integer() {
        switch (pick(0, 3)) {
        case 0:
            return std::numeric_limits<Integer>::min();
        case 1:
            return std::numeric_limits<Integer>::max();
        case 2:
            return static_cast<Integer>(pick(0, 200));
        default:
            return static_cast<Integer>(random_());
        }
    }

    Uuid uuid() {
        std::array<std::uint8_t, 16> bytes{};
        for (auto& byte : bytes) {
            byte = static_cast<std::uint8_t>(random_());
        }
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

TEST(SnippetDocumentWriter, WritesWhatTheJsonLibraryWrites) {
    for (std::uint64_t seed = 1; seed <= 3000; ++seed) {
        RandomLists random(seed);
        const auto snippets = random.list();
        const std::string expected = libraryEncoding(snippets);
        ASSERT_EQ(encodeSnippets(snippets), expected) << "seed " << seed;
        ASSERT_EQ(encodeSnippetsAsBytes(snippets),
                  platform::Bytes(expected.begin(), expected.end()))
            << "seed " << seed;
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

Fields fieldsOf(const std::string& objectJson) {
    Fields fields;
    const auto object = OrderedJson::parse(objectJson);
    for (const auto& [key, value] : object.items()) {
        fields.emplace_back(key, value.dump());
    }
    return fields;
}

const std::vector<std::string> oddValues = {"null",
                                            "true",
                                            "false",
                                            "0",
                                            "-1",
                                            "1.5",
                                            "2.0",
                                            "1e30",
                                            "-0",
                                            "[]",
                                            "{}",
                                            "[\"a\",2]",
                                            "[[]]",
                                            "\"\"",
                                            "\"After Delimiter\"",
                                            "\"Instant\"",
                                            "\"Hotkey\"",
                                            "\"Wait\"",
                                            "\"wait\"",
                                            "\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\"",
                                            "\"not-a-uuid\"",
                                            "18446744073709551615",
                                            "18446744073709551616",
                                            "9223372036854775807",
                                            "9223372036854775808",
                                            "-9223372036854775808",
                                            "-9223372036854775809",
                                            "{\"a\":[1,{}]}",
                                            "\"\\u00e9\\ud83d\\udc69\"",
                                            "[{}]",
                                            "[{\"id\":1}]",
                                            "[\"x\"]"};

const std::vector<std::string> snippetKeys = {
    "id",          "shortcut",      "replacement",     "isEnabled",  "triggerMode", "allowedApps",
    "blockedApps", "hotkeyKeyCode", "hotkeyModifiers", "macroSteps", "extra"};
const std::vector<std::string> stepKeys = {"id",        "type",         "text", "keyCode",
                                           "modifiers", "milliseconds", "note"};

// One random change that a hand edit, another program or a broken disk could make.
void damage(Fields& fields, RandomLists& random, const std::vector<std::string>& keys) {
    switch (random.pick(0, 5)) {
    case 0:
        if (!fields.empty()) {
            fields.erase(fields.begin() +
                         static_cast<std::ptrdiff_t>(random.pick(0, fields.size() - 1)));
        }
        break;
    case 1: // a key again, with another value
        fields.emplace_back(keys[random.pick(0, keys.size() - 1)],
                            oddValues[random.pick(0, oddValues.size() - 1)]);
        break;
    case 2:
        if (!fields.empty()) {
            fields[random.pick(0, fields.size() - 1)].second =
                oddValues[random.pick(0, oddValues.size() - 1)];
        }
        break;
    case 3:
        std::shuffle(fields.begin(), fields.end(), random.engine());
        break;
    case 4: // a key the format does not have
        fields.emplace_back("x" + std::to_string(random.pick(0, 9)),
                            oddValues[random.pick(0, oddValues.size() - 1)]);
        break;
    default: { // damage inside a step
        for (auto& [key, value] : fields) {
            if (key == "macroSteps" && value.size() > 2) {
                auto steps = OrderedJson::parse(value);
                if (!steps.is_array() || steps.empty() || !steps[0].is_object()) {
                    continue;
                }
                auto stepFields = fieldsOf(steps[0].dump());
                damage(stepFields, random, stepKeys);
                steps[0] = OrderedJson::parse(objectText(stepFields));
                value = steps.dump();
            }
        }
    }
    }
}

std::string damagedDocument(RandomLists& random) {
    auto snippets = random.list();
    for (auto& s : snippets) {
        // Only text that is UTF-8 can be written into a document as it is.
        s.shortcut = "s" + std::to_string(random.pick(0, 9));
        s.replacement = "r";
        s.allowedApps.clear();
        s.blockedApps.clear();
        for (auto& step : s.macroSteps) {
            step.text = "t";
        }
    }
    std::string document = "[";
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        const std::string alone = encodeSnippets({snippets[i]});
        Fields fields = fieldsOf(alone.substr(1, alone.size() - 2));
        for (std::size_t n = random.chance(60) ? random.pick(1, 3) : 0; n > 0; --n) {
            damage(fields, random, snippetKeys);
        }
        document += (i > 0 ? "," : "") + objectText(fields);
    }
    document += "]";
    // Damage to the bytes themselves.
    if (random.chance(15) && !document.empty()) {
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

std::string describe(const std::variant<std::vector<Snippet>, DecodeError>& result) {
    if (const auto* error = std::get_if<DecodeError>(&result)) {
        return "error: " + error->description;
    }
    return std::to_string(std::get<std::vector<Snippet>>(result).size()) + " snippets";
}

bool same(const std::variant<std::vector<Snippet>, DecodeError>& a,
          const std::variant<std::vector<Snippet>, DecodeError>& b) {
    if (a.index() != b.index()) {
        return false;
    }
    if (const auto* error = std::get_if<DecodeError>(&a)) {
        return error->description == std::get<DecodeError>(b).description;
    }
    return std::get<std::vector<Snippet>>(a) == std::get<std::vector<Snippet>>(b);
}

TEST(SnippetDocumentReaders, AgreeOnWrittenLists) {
    for (std::uint64_t seed = 1; seed <= 2000; ++seed) {
        RandomLists random(seed);
        const std::string document = encodeSnippets(random.list());
        const auto fast = decodeSnippets(document);
        const auto tree = decodeSnippetsThroughTree(document);
        ASSERT_TRUE(same(fast, tree))
            << "seed " << seed << ": " << describe(fast) << " against " << describe(tree) << "\n"
            << document;
    }
}

TEST(SnippetDocumentReaders, AgreeOnDamagedDocuments) {
    std::size_t decoded = 0;
    for (std::uint64_t seed = 1; seed <= 6000; ++seed) {
        RandomLists random(seed);
        const std::string document = damagedDocument(random);
        const auto fast = decodeSnippets(document);
        const auto tree = decodeSnippetsThroughTree(document);
        ASSERT_TRUE(same(fast, tree))
            << "seed " << seed << ": " << describe(fast) << " against " << describe(tree) << "\n"
            << document;
        decoded += fast.index() == 0;
    }
    // Both kinds of outcome must be well represented for the comparison to mean anything.
    EXPECT_GT(decoded, 1000u);
    EXPECT_LT(decoded, 5000u);
}

} // namespace
} // namespace quillo::model
