#include "model/SnippetDocument.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quillo::model {
namespace {

const std::string omwId = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
const std::string stepId = "0F8FAD5B-D9CB-469F-A165-70867728950E";

const auto quoted = [](const std::string& text) { return '"' + text + '"'; };

// The error, or the snippets as the writer writes them (equal lists write equal documents).
std::string outcome(const std::variant<std::vector<Snippet>, DecodeError>& result) {
    const auto* error = std::get_if<DecodeError>(&result);
    return error ? "error: " + error->description
                 : encodeSnippets(std::get<std::vector<Snippet>>(result));
}

// The snippet of snippetFields().
const Snippet omw{.id = *Uuid::parse(omwId), .shortcut = "omw", .replacement = "On my way"};

// A JSON object written by hand as key / raw JSON value pairs, so that a test can leave a key
// out, give it a value of any type or give it twice.
using Fields = std::vector<std::pair<std::string, std::string>>;

std::string join(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : ",") + item;
    }
    return text;
}

std::string object(const Fields& fields) {
    std::vector<std::string> items;
    for (const auto& [key, value] : fields) {
        items.push_back("\"" + key + "\":" + value);
    }
    return "{" + join(items) + "}";
}

const auto array = [](const std::vector<std::string>& items) { return "[" + join(items) + "]"; };

// The fields with `key` set to `value`, or removed when there is no value.
Fields with(Fields fields, const std::string& key, const std::optional<std::string>& value) {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const auto& field) { return field.first == key; });
    if (found != fields.end() && value) {
        found->second = *value;
    } else if (found != fields.end()) {
        fields.erase(found);
    } else if (value) {
        fields.emplace_back(key, *value);
    }
    return fields;
}

const auto without = [](const Fields& f, const std::string& key) { return with(f, key, {}); };

Fields twice(Fields fields, const std::string& key, const std::string& value) {
    fields.emplace_back(key, value);
    return fields;
}

const Fields stepFields = {{"id", quoted(stepId)},   {"type", "\"Press Key\""},
                           {"text", "\"\""},         {"keyCode", "36"},
                           {"modifiers", "1048576"}, {"milliseconds", "200"}};

Fields snippetFields(const std::vector<std::string>& steps = {}) {
    return {{"id", quoted(omwId)},
            {"shortcut", "\"omw\""},
            {"replacement", "\"On my way\""},
            {"isEnabled", "true"},
            {"triggerMode", "\"After Delimiter\""},
            {"allowedApps", "[]"},
            {"blockedApps", "[]"},
            {"macroSteps", array(steps)}};
}

// Three snippets of which only the third one is changed, so that messages must count.
std::string thirdSnippet(const Fields& third) {
    return array({object(snippetFields()), object(snippetFields()), object(third)});
}

// A document with one snippet whose second step is the one given.
std::string secondStep(const Fields& second) {
    return array({object(snippetFields({object(stepFields), object(second)}))});
}

// A document and the error it must give.
using Failure = std::pair<std::string, std::string>;

// The third snippet, or the second step of the first one, with a key set to a value of the
// wrong kind, and the problem the error must name.
Failure inSnippet(const std::string& key, const std::string& value, const std::string& problem) {
    return {thirdSnippet(with(snippetFields(), key, value)),
            "snippet 3: \"" + key + "\" " + problem};
}
Failure inStep(const std::string& key, const std::string& value, const std::string& problem) {
    return {secondStep(with(stepFields, key, value)),
            "snippet 1, step 2: \"" + key + "\" " + problem};
}

TEST(DecodeSnippets, ReadsEveryFieldWhateverTheSpelling) {
    Snippet bare = omw;
    bare.allowedApps = {"a.b", "c"};
    Snippet full = bare;
    full.hotkeyKeyCode = 46;
    full.hotkeyModifiers = 786432;
    full.macroSteps = {{*Uuid::parse(stepId), MacroStep::StepType::pressKey, "", 36, 1048576, 200}};
    const Fields f = with(with(with(snippetFields({object(stepFields)}), "hotkeyKeyCode", "46"),
                               "hotkeyModifiers", "786432"),
                          "allowedApps", R"(["a.b", "c"])");
    // Keys in any order, and keys the format does not have, nested as deep as the limit allows:
    // four levels of the format, sixty more.
    Fields shuffled = with(with(f, "macroSteps",
                                array({object(with(stepFields, "note",
                                                   std::string(60, '[') + std::string(60, ']')))})),
                           "x", R"({"a":[1,2]})");
    std::reverse(shuffled.begin(), shuffled.end());
    const std::pair<std::string, Snippet> cases[] = {
        {array({object(f)}), full},
        {"\xEF\xBB\xBF \n[\n  " + object(f) + "\n]\n", full},
        {array({object(shuffled)}), full},
        {array({object(with(with(f, "macroSteps",
                                 array({object(with(stepFields, "id",
                                                    "\"0f8fad5b-d9cb-469f-a165-70867728950e\""))})),
                            "id", "\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\""))}),
         full},
        // Documents from before hotkeys and macros, and null for absent.
        {array({object(
             without(without(without(f, "hotkeyKeyCode"), "hotkeyModifiers"), "macroSteps"))}),
         bare},
        {array({object(with(with(with(f, "hotkeyKeyCode", "null"), "hotkeyModifiers", "null"),
                            "macroSteps", "null"))}),
         bare},
    };
    for (const auto& [json, snippet] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(outcome(decodeSnippets(json)), encodeSnippets({snippet}));
    }
}

TEST(DecodeSnippets, BracketsInsideStringsDoNotCountAsNesting) {
    const std::string brackets = std::string(500, '[') + std::string(500, '{');
    Snippet expected = omw;
    expected.shortcut = "\"\\" + brackets;
    EXPECT_EQ(outcome(decodeSnippets(array(
                  {object(with(snippetFields(), "shortcut", "\"\\\"\\\\" + brackets + "\""))}))),
              encodeSnippets({expected}));
}

// One error for the whole document, saying what and where.
TEST(DecodeSnippets, SaysWhatIsWrongAndWhere) {
    const std::string longValue = "\"" + std::string(100, 'x') + "\"";
    std::vector<Failure> cases = {
        inSnippet("id", "5", "is not a string"),
        inSnippet("shortcut", "null", "is not a string"),
        inSnippet("isEnabled", "1", "is not true or false"),
        inSnippet("triggerMode", "0", "is not a string"),
        inSnippet("allowedApps", "\"kate\"", "is not an array"),
        inSnippet("blockedApps", R"(["a", 2])", "item 2 is not a string"),
        inSnippet("hotkeyKeyCode", "\"46\"", "is not an integer"),
        inSnippet("hotkeyKeyCode", "46.5", "is not an integer"),
        inSnippet("hotkeyModifiers", "true", "is not an integer"),
        inSnippet("hotkeyModifiers", "-524288", "is negative"),
        inSnippet("macroSteps", "{}", "is not an array"),
        {array({object(snippetFields()), "[]"}), "snippet 2 is not a JSON object"},
        {array({"null"}), "snippet 1 is not a JSON object"},
        // Raw values must match exactly; a long value is cut.
        inSnippet("triggerMode", "\"instant\"", "has the unknown value \"instant\""),
        inSnippet("triggerMode", "\"\"", "has the unknown value \"\""),
        inSnippet("triggerMode", longValue,
                  "has the unknown value \"" + std::string(40, 'x') + "\"…"),
        inStep("type", "\"wait\"", "has the unknown value \"wait\""),
        inSnippet("id", "\"not-a-uuid\"", "is not a UUID: \"not-a-uuid\""),
        inStep("id", "\"\"", "is not a UUID: \"\""),
        inStep("keyCode", "\"36\"", "is not an integer"),
        inStep("text", "null", "is not a string"),
        inStep("type", "null", "is not a string"),
        inStep("modifiers", "null", "is not an integer"),
        inStep("modifiers", "1.5", "is not an integer"),
        {array({object(snippetFields({object(stepFields), "\"Wait\""}))}),
         "snippet 1, step 2 is not a JSON object"},
        // Integers beyond what their field holds.
        inStep("modifiers", "-1", "is negative"),
        inStep("modifiers", "-1.5", "is negative"),
        inStep("modifiers", "18446744073709551616", "is beyond the unsigned 64-bit range"),
        inStep("keyCode", "9223372036854775808", "is beyond the 64-bit range"),
        inStep("keyCode", "-9223372036854775809", "is beyond the 64-bit range"),
        inStep("milliseconds", "1e30", "is beyond the 64-bit range"),
        // The first problem in key order, in the first snippet that has one.
        {thirdSnippet(without(without(snippetFields(), "allowedApps"), "shortcut")),
         "snippet 3: missing key \"shortcut\""},
        {thirdSnippet(with(without(snippetFields(), "blockedApps"), "isEnabled", "\"yes\"")),
         "snippet 3: \"isEnabled\" is not true or false"},
        {array({object(snippetFields()), object(without(snippetFields(), "blockedApps")),
                object(without(snippetFields(), "id"))}),
         "snippet 2: missing key \"blockedApps\""},
        // A Wait step uses none of text, keyCode and modifiers, and still needs them.
        {secondStep(without(with(stepFields, "type", "\"Wait\""), "text")),
         "snippet 1, step 2: missing key \"text\""},
        {object(snippetFields()), "the document is not a JSON array"},
        // Deep but within the limit: the structure is read and found wrong, not refused.
        {std::string(64, '[') + std::string(64, ']'), "snippet 1 is not a JSON object"},
        {std::string(65, '[') + std::string(65, ']'), "the document is nested too deeply"},
        {std::string(1'000'000, '['), "the document is nested too deeply"},
        {"[" + std::string(100'000, '{'), "the document is nested too deeply"},
        {R"([{"id": tru}])",
         R"(invalid JSON at byte 12: invalid literal; last read: '"id": tru}')"},
        {"[1,]", "invalid JSON at byte 4: unexpected ']'; expected '[', '{', or a literal"},
    };
    for (const char* key : {"id", "shortcut", "replacement", "isEnabled", "triggerMode",
                            "allowedApps", "blockedApps"}) {
        cases.emplace_back(thirdSnippet(without(snippetFields(), key)),
                           "snippet 3: missing key \"" + std::string(key) + "\"");
    }
    for (const char* key : {"id", "type", "text", "keyCode", "modifiers", "milliseconds"}) {
        cases.emplace_back(secondStep(without(stepFields, key)),
                           "snippet 1, step 2: missing key \"" + std::string(key) + "\"");
    }
    for (const char* json : {"{}", "null", "\"[]\"", "42", "true"}) {
        cases.emplace_back(json, "the document is not a JSON array");
    }
    for (const auto& [json, error] : cases) {
        SCOPED_TRACE(json.substr(0, 200));
        EXPECT_EQ(outcome(decodeSnippets(json)), "error: " + error);
    }
}

TEST(DecodeSnippets, SyntaxErrorsSayWhereInOnePrintableLine) {
    for (const char* json : {"", "[", "[] []", "[\"\xFF\"]", "[\"unterminated]", "[/* comment */]",
                             R"(["\ud83d\udc6)"}) {
        SCOPED_TRACE(json);
        const std::string error = outcome(decodeSnippets(json));
        EXPECT_TRUE(error.starts_with("error: invalid JSON at byte ")) << error;
        EXPECT_EQ(error.find("json.exception"), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(error.find('\xFF'), std::string::npos) << error;
    }
}

// A key of the format given twice leaves it open which value the user meant, and reading one
// would drop the other from the file at the next save: both readers refuse the document and say
// where. Keys the format does not have are ignored, however often they come.
TEST(DecodeSnippets, AKeyOfTheFormatGivenTwice) {
    const Fields s = snippetFields();
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {thirdSnippet(twice(s, "shortcut", "\"b\"")), "snippet 3: \"shortcut\" is given twice"},
        {thirdSnippet(twice(s, "isEnabled", "true")), "snippet 3: \"isEnabled\" is given twice"},
        {thirdSnippet(twice(with(s, "hotkeyKeyCode", "null"), "hotkeyKeyCode", "46")),
         "snippet 3: \"hotkeyKeyCode\" is given twice"},
        {thirdSnippet(twice(s, "macroSteps", "[]")), "snippet 3: \"macroSteps\" is given twice"},
        {secondStep(twice(stepFields, "milliseconds", "5")),
         "snippet 1, step 2: \"milliseconds\" is given twice"},
        // Only the first fault of the document counts.
        {array({object(without(s, "id")), object(twice(s, "id", "\"x\""))}),
         "snippet 1: missing key \"id\""},
        {array({object(twice(s, "replacement", "\"x\"")), object(without(s, "id"))}),
         "snippet 1: \"replacement\" is given twice"},
        {thirdSnippet(twice(without(s, "id"), "blockedApps", "[]")),
         "snippet 3: \"blockedApps\" is given twice"},
        // These load.
        {thirdSnippet(twice(twice(s, "x", "1"), "x", "2")), std::nullopt},
        {thirdSnippet(twice(twice(s, "type", "1"), "type", "2")), std::nullopt},
        {thirdSnippet(with(s, "extra", object({{"id", "1"}, {"id", "2"}}))), std::nullopt},
        {object({{"id", "1"}, {"id", "2"}}), "the document is not a JSON array"},
    };
    for (const auto& [json, error] : cases) {
        SCOPED_TRACE(json);
        const std::string fast = outcome(decodeSnippets(json));
        EXPECT_EQ(outcome(decodeSnippetsThroughTree(json)), fast);
        EXPECT_EQ(fast, error ? "error: " + *error : encodeSnippets(std::vector<Snippet>(3, omw)));
    }
}

} // namespace
} // namespace quillo::model
