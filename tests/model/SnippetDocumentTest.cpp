#include "model/SnippetDocument.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillo::model {
namespace {

// ---------------------------------------------------------------------------------------------
// Helpers

Uuid uuid(const char* text) {
    return *Uuid::parse(text);
}

std::vector<Snippet> decodeOrFail(std::string_view json) {
    auto result = decodeSnippets(json);
    if (const auto* error = std::get_if<DecodeError>(&result)) {
        ADD_FAILURE() << "decoding failed: " << error->description;
        return {};
    }
    return std::get<std::vector<Snippet>>(std::move(result));
}

std::string decodeError(std::string_view json) {
    const auto result = decodeSnippets(json);
    if (const auto* error = std::get_if<DecodeError>(&result)) {
        return error->description;
    }
    ADD_FAILURE() << "decoding succeeded";
    return {};
}

// A JSON object written by hand as key / raw JSON value pairs, so that a test can leave a key
// out or give it a value of any type.
using Fields = std::vector<std::pair<std::string, std::string>>;

std::string object(const Fields& fields) {
    std::string text = "{";
    for (const auto& [key, value] : fields) {
        if (text.size() > 1) {
            text += ",";
        }
        text += "\"" + key + "\":" + value;
    }
    return text + "}";
}

std::string array(const std::vector<std::string>& elements) {
    std::string text = "[";
    for (const auto& element : elements) {
        if (text.size() > 1) {
            text += ",";
        }
        text += element;
    }
    return text + "]";
}

Fields without(Fields fields, const std::string& key) {
    std::erase_if(fields, [&](const auto& field) { return field.first == key; });
    return fields;
}

Fields with(Fields fields, const std::string& key, const std::string& value) {
    for (auto& field : fields) {
        if (field.first == key) {
            field.second = value;
            return fields;
        }
    }
    fields.emplace_back(key, value);
    return fields;
}

Fields stepFields() {
    return {{"id", "\"0F8FAD5B-D9CB-469F-A165-70867728950E\""},
            {"type", "\"Press Key\""},
            {"text", "\"\""},
            {"keyCode", "36"},
            {"modifiers", "1048576"},
            {"milliseconds", "200"}};
}

Fields snippetFields(const std::vector<std::string>& steps = {}) {
    return {{"id", "\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\""},
            {"shortcut", "\"omw\""},
            {"replacement", "\"On my way\""},
            {"isEnabled", "true"},
            {"triggerMode", "\"After Delimiter\""},
            {"allowedApps", "[]"},
            {"blockedApps", "[]"},
            {"macroSteps", array(steps)}};
}

// Three snippets of which only the third one is changed, so that messages must count.
std::string documentWithThirdSnippet(const Fields& third) {
    return array({object(snippetFields()), object(snippetFields()), object(third)});
}

// A document with one snippet whose second step is the one given.
std::string documentWithSecondStep(const Fields& second) {
    return array({object(snippetFields({object(stepFields()), object(second)}))});
}

// ---------------------------------------------------------------------------------------------
// Writing

std::vector<Snippet> firstRunSnippets() {
    Snippet omw;
    omw.id = uuid("11111111-2222-4333-8444-555555555555");
    omw.shortcut = "omw";
    omw.replacement = "On my way";
    Snippet link;
    link.id = uuid("AAAAAAAA-BBBB-4CCC-9DDD-EEEEEEEEEEEE");
    link.shortcut = "link";
    link.replacement = "<a href='{clipboard}'>{cursor}</a>";
    Snippet hotkey;
    hotkey.id = uuid("01234567-89AB-4CDE-AF01-23456789ABCD");
    hotkey.shortcut = "";
    hotkey.replacement = "On my way!";
    hotkey.triggerMode = Snippet::TriggerMode::hotkey;
    hotkey.hotkeyKeyCode = 46;
    hotkey.hotkeyModifiers = 786432;
    return {omw, link, hotkey};
}

TEST(EncodeSnippets, WritesTheFirstRunListCompactInFieldOrder) {
    const std::string expected =
        R"([{"id":"11111111-2222-4333-8444-555555555555","shortcut":"omw",)"
        R"("replacement":"On my way","isEnabled":true,"triggerMode":"After Delimiter",)"
        R"("allowedApps":[],"blockedApps":[],"macroSteps":[]},)"
        R"({"id":"AAAAAAAA-BBBB-4CCC-9DDD-EEEEEEEEEEEE","shortcut":"link",)"
        R"("replacement":"<a href='{clipboard}'>{cursor}</a>","isEnabled":true,)"
        R"("triggerMode":"After Delimiter","allowedApps":[],"blockedApps":[],"macroSteps":[]},)"
        R"({"id":"01234567-89AB-4CDE-AF01-23456789ABCD","shortcut":"",)"
        R"("replacement":"On my way!","isEnabled":true,"triggerMode":"Hotkey",)"
        R"("allowedApps":[],"blockedApps":[],"hotkeyKeyCode":46,"hotkeyModifiers":786432,)"
        R"("macroSteps":[]}])";
    EXPECT_EQ(encodeSnippets(firstRunSnippets()), expected);
}

TEST(EncodeSnippets, AnEmptyListIsAnEmptyArray) {
    EXPECT_EQ(encodeSnippets({}), "[]");
}

TEST(EncodeSnippets, WritesEveryStepWithAllSixKeys) {
    Snippet snippet = firstRunSnippets()[0];
    MacroStep wait;
    wait.id = uuid("0F8FAD5B-D9CB-469F-A165-70867728950E");
    wait.type = MacroStep::StepType::wait;
    wait.milliseconds = 350;
    MacroStep key = wait;
    key.type = MacroStep::StepType::pressKey;
    key.text = "left over";
    key.keyCode = 36;
    key.modifiers = 0x100000;
    snippet.macroSteps = {wait, key};
    const std::string json = encodeSnippets({snippet});
    EXPECT_NE(json.find(R"("macroSteps":[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E",)"
                        R"("type":"Wait","text":"","keyCode":0,"modifiers":0,)"
                        R"("milliseconds":350},{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E",)"
                        R"("type":"Press Key","text":"left over","keyCode":36,)"
                        R"("modifiers":1048576,"milliseconds":350}]})"),
              std::string::npos)
        << json;
}

TEST(EncodeSnippets, WritesAHotkeyWhateverTheTriggerMode) {
    Snippet snippet = firstRunSnippets()[0];
    snippet.hotkeyKeyCode = 11;
    const std::string json = encodeSnippets({snippet});
    EXPECT_NE(json.find(R"("blockedApps":[],"hotkeyKeyCode":11,"macroSteps":[])"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("hotkeyModifiers"), std::string::npos);
}

TEST(EncodeSnippets, LeavesHotkeyKeysOutWhenAbsent) {
    const std::string json = encodeSnippets({firstRunSnippets()[0]});
    EXPECT_EQ(json.find("hotkey"), std::string::npos);
    EXPECT_EQ(json.find("null"), std::string::npos);
}

TEST(EncodeSnippets, WritesNonAsciiTextAsItIs) {
    Snippet snippet = firstRunSnippets()[0];
    snippet.replacement = "Grüße ☕ 👩‍💻";
    EXPECT_NE(encodeSnippets({snippet}).find(R"("replacement":"Grüße ☕ 👩‍💻")"),
              std::string::npos);
}

TEST(EncodeSnippets, ReplacesBytesThatAreNotUtf8RatherThanFailing) {
    Snippet snippet = firstRunSnippets()[0];
    snippet.replacement = "a\xFF"
                          "b";
    const auto decoded = decodeOrFail(encodeSnippets({snippet}));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].replacement, "a\uFFFDb");
}

// ---------------------------------------------------------------------------------------------
// Writing then reading

std::vector<Snippet> variedSnippets() {
    std::vector<Snippet> snippets = firstRunSnippets();

    Snippet text = Snippet::make();
    text.shortcut = "café";
    text.replacement =
        "Ça va? 日本語, ﷽, e\u0301, 👩‍👩‍👧, \"quoted\" \\ back\nnew\ttab\x01\x7F";
    text.isEnabled = false;
    text.triggerMode = Snippet::TriggerMode::instant;
    text.allowedApps = {"org.gnome.TextEditor", "kate", "Émacs"};
    text.blockedApps = {"org.keepassxc.KeePassXC"};
    snippets.push_back(text);

    Snippet macro = Snippet::make();
    macro.shortcut = ";sig";
    macro.triggerMode = Snippet::TriggerMode::hotkey;
    macro.hotkeyKeyCode = std::numeric_limits<std::int64_t>::min();
    macro.hotkeyModifiers = std::numeric_limits<std::uint64_t>::max();
    MacroStep type = MacroStep::make(MacroStep::StepType::typeText);
    type.text = "Ünïcödé 🎉";
    MacroStep press = MacroStep::make(MacroStep::StepType::pressKey);
    press.keyCode = 36;
    press.modifiers = 0x8000000000000000ULL | 0x100000;
    MacroStep wait = MacroStep::make(MacroStep::StepType::wait);
    wait.milliseconds = std::numeric_limits<std::int64_t>::max();
    wait.keyCode = -5;
    macro.macroSteps = {type, press, wait};
    snippets.push_back(macro);

    Snippet bareHotkey = Snippet::make();
    bareHotkey.hotkeyModifiers = 0;
    snippets.push_back(bareHotkey);

    Snippet brackets = Snippet::make();
    brackets.shortcut = "\\\"" + std::string(200, '[') + std::string(200, '{');
    snippets.push_back(brackets);
    return snippets;
}

TEST(SnippetRoundTrip, ReadingWhatWasWrittenGivesAnEqualList) {
    const std::vector<Snippet> snippets = variedSnippets();
    const std::string json = encodeSnippets(snippets);
    EXPECT_EQ(decodeOrFail(json), snippets);
    EXPECT_EQ(encodeSnippets(decodeOrFail(json)), json);
}

TEST(SnippetRoundTrip, EachSnippetOnItsOwn) {
    for (const auto& snippet : variedSnippets()) {
        SCOPED_TRACE(snippet.shortcut);
        EXPECT_EQ(decodeOrFail(encodeSnippets({snippet})), std::vector<Snippet>{snippet});
    }
}

TEST(SnippetRoundTrip, AnEmptyList) {
    EXPECT_TRUE(decodeOrFail(encodeSnippets({})).empty());
}

// ---------------------------------------------------------------------------------------------
// Reading

TEST(DecodeSnippets, ReadsEveryField) {
    const std::string json =
        array({object(with(with(with(snippetFields({object(stepFields())}), "hotkeyKeyCode", "46"),
                                "hotkeyModifiers", "786432"),
                           "allowedApps", R"(["a.b", "c"])"))});
    const auto snippets = decodeOrFail(json);
    ASSERT_EQ(snippets.size(), 1u);
    const Snippet& s = snippets[0];
    EXPECT_EQ(s.id, uuid("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_EQ(s.shortcut, "omw");
    EXPECT_EQ(s.replacement, "On my way");
    EXPECT_TRUE(s.isEnabled);
    EXPECT_EQ(s.triggerMode, Snippet::TriggerMode::afterDelimiter);
    EXPECT_EQ(s.allowedApps, (std::vector<std::string>{"a.b", "c"}));
    EXPECT_TRUE(s.blockedApps.empty());
    EXPECT_EQ(s.hotkeyKeyCode, 46);
    EXPECT_EQ(s.hotkeyModifiers, 786432u);
    ASSERT_EQ(s.macroSteps.size(), 1u);
    const MacroStep& step = s.macroSteps[0];
    EXPECT_EQ(step.id, uuid("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(step.type, MacroStep::StepType::pressKey);
    EXPECT_EQ(step.text, "");
    EXPECT_EQ(step.keyCode, 36);
    EXPECT_EQ(step.modifiers, 1048576u);
    EXPECT_EQ(step.milliseconds, 200);
}

TEST(DecodeSnippets, DocumentsFromBeforeMacrosAndHotkeysLoad) {
    const std::string json =
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","shortcut":"omw",)"
        R"("replacement":"On my way","isEnabled":true,"triggerMode":"After Delimiter",)"
        R"("allowedApps":[],"blockedApps":[]},)"
        R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","shortcut":"brb",)"
        R"("replacement":"Be right back","isEnabled":false,"triggerMode":"Instant",)"
        R"("allowedApps":["kate"],"blockedApps":[]}])";
    const auto snippets = decodeOrFail(json);
    ASSERT_EQ(snippets.size(), 2u);
    for (const auto& snippet : snippets) {
        EXPECT_FALSE(snippet.hotkeyKeyCode);
        EXPECT_FALSE(snippet.hotkeyModifiers);
        EXPECT_TRUE(snippet.macroSteps.empty());
    }
    EXPECT_EQ(snippets[1].shortcut, "brb");
    EXPECT_FALSE(snippets[1].isEnabled);
    EXPECT_EQ(snippets[1].triggerMode, Snippet::TriggerMode::instant);
}

TEST(DecodeSnippets, NullOptionalKeysMeanAbsent) {
    const auto snippets = decodeOrFail(array({object(
        with(with(with(snippetFields(), "hotkeyKeyCode", "null"), "hotkeyModifiers", "null"),
             "macroSteps", "null"))}));
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_FALSE(snippets[0].hotkeyKeyCode);
    EXPECT_FALSE(snippets[0].hotkeyModifiers);
    EXPECT_TRUE(snippets[0].macroSteps.empty());
}

TEST(DecodeSnippets, OneHotkeyKeyWithoutTheOther) {
    const auto snippets =
        decodeOrFail(array({object(with(snippetFields(), "hotkeyModifiers", "262144"))}));
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_FALSE(snippets[0].hotkeyKeyCode);
    EXPECT_EQ(snippets[0].hotkeyModifiers, 262144u);
}

TEST(DecodeSnippets, IgnoresKeysItDoesNotKnowAndKeyOrder) {
    Fields fields = with(snippetFields({object(with(stepFields(), "note", R"({"a":[1,2]})"))}),
                         "colour", "\"blue\"");
    std::reverse(fields.begin(), fields.end());
    const auto snippets = decodeOrFail(array({object(fields)}));
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_EQ(snippets[0].shortcut, "omw");
    EXPECT_EQ(snippets[0].macroSteps.size(), 1u);
}

TEST(DecodeSnippets, AcceptsLowerCaseUuidsAndWritesThemUpperCase) {
    const std::string json =
        array({object(with(snippetFields({object(with(
                               stepFields(), "id", "\"0f8fad5b-d9cb-469f-a165-70867728950e\""))}),
                           "id", "\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\""))});
    const auto snippets = decodeOrFail(json);
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_EQ(snippets[0].id, uuid("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    const std::string written = encodeSnippets(snippets);
    EXPECT_NE(written.find("\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\""), std::string::npos);
    EXPECT_NE(written.find("\"0F8FAD5B-D9CB-469F-A165-70867728950E\""), std::string::npos);
    EXPECT_EQ(written.find("e621e1f8"), std::string::npos);
}

TEST(DecodeSnippets, AcceptsWhitespaceAndAByteOrderMark) {
    const std::string json = "\xEF\xBB\xBF \n[\n  " + object(snippetFields()) + "\n]\n";
    EXPECT_EQ(decodeOrFail(json).size(), 1u);
}

TEST(DecodeSnippets, IntegersSpanTheirWholeRange) {
    const auto snippets = decodeOrFail(array({object(with(
        with(snippetFields({object(with(with(with(stepFields(), "keyCode", "-9223372036854775808"),
                                             "modifiers", "18446744073709551615"),
                                        "milliseconds", "9223372036854775807"))}),
             "hotkeyKeyCode", "-1"),
        "hotkeyModifiers", "0"))}));
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_EQ(snippets[0].hotkeyKeyCode, -1);
    EXPECT_EQ(snippets[0].hotkeyModifiers, 0u);
    ASSERT_EQ(snippets[0].macroSteps.size(), 1u);
    EXPECT_EQ(snippets[0].macroSteps[0].keyCode, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(snippets[0].macroSteps[0].modifiers, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(snippets[0].macroSteps[0].milliseconds, std::numeric_limits<std::int64_t>::max());
}

// ---------------------------------------------------------------------------------------------
// Failures: one error for the whole document, saying what and where

struct FailureCase {
    const char* name;
    std::string json;
    std::string error;
};

void expectFailures(const std::vector<FailureCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeError(c.json), c.error);
    }
}

TEST(DecodeSnippetsFailure, EveryRequiredSnippetKeyMissing) {
    std::vector<FailureCase> cases;
    for (const char* key : {"id", "shortcut", "replacement", "isEnabled", "triggerMode",
                            "allowedApps", "blockedApps"}) {
        cases.push_back({key, documentWithThirdSnippet(without(snippetFields(), key)),
                         std::string("snippet 3: missing key \"") + key + "\""});
    }
    expectFailures(cases);
}

TEST(DecodeSnippetsFailure, TheFirstProblemInKeyOrderIsReported) {
    expectFailures({
        {"two keys missing",
         documentWithThirdSnippet(without(without(snippetFields(), "allowedApps"), "shortcut")),
         "snippet 3: missing key \"shortcut\""},
        {"wrong type before a missing key",
         documentWithThirdSnippet(
             with(without(snippetFields(), "blockedApps"), "isEnabled", "\"yes\"")),
         "snippet 3: \"isEnabled\" is not true or false"},
        {"first bad snippet wins",
         array({object(snippetFields()), object(without(snippetFields(), "blockedApps")),
                object(without(snippetFields(), "id"))}),
         "snippet 2: missing key \"blockedApps\""},
    });
}

TEST(DecodeSnippetsFailure, SnippetValuesOfTheWrongType) {
    const Fields f = snippetFields();
    expectFailures({
        {"id number", documentWithThirdSnippet(with(f, "id", "5")),
         "snippet 3: \"id\" is not a string"},
        {"shortcut null", documentWithThirdSnippet(with(f, "shortcut", "null")),
         "snippet 3: \"shortcut\" is not a string"},
        {"replacement array", documentWithThirdSnippet(with(f, "replacement", "[\"a\"]")),
         "snippet 3: \"replacement\" is not a string"},
        {"isEnabled number", documentWithThirdSnippet(with(f, "isEnabled", "1")),
         "snippet 3: \"isEnabled\" is not true or false"},
        {"triggerMode number", documentWithThirdSnippet(with(f, "triggerMode", "0")),
         "snippet 3: \"triggerMode\" is not a string"},
        {"allowedApps string", documentWithThirdSnippet(with(f, "allowedApps", "\"kate\"")),
         "snippet 3: \"allowedApps\" is not an array"},
        {"allowedApps null", documentWithThirdSnippet(with(f, "allowedApps", "null")),
         "snippet 3: \"allowedApps\" is not an array"},
        {"blockedApps item", documentWithThirdSnippet(with(f, "blockedApps", R"(["a", 2])")),
         "snippet 3: \"blockedApps\" item 2 is not a string"},
        {"hotkeyKeyCode string", documentWithThirdSnippet(with(f, "hotkeyKeyCode", "\"46\"")),
         "snippet 3: \"hotkeyKeyCode\" is not an integer"},
        {"hotkeyModifiers bool", documentWithThirdSnippet(with(f, "hotkeyModifiers", "true")),
         "snippet 3: \"hotkeyModifiers\" is not an integer"},
        {"macroSteps object", documentWithThirdSnippet(with(f, "macroSteps", "{}")),
         "snippet 3: \"macroSteps\" is not an array"},
        {"snippet not an object", array({object(f), "[]"}), "snippet 2 is not a JSON object"},
        {"snippet null", array({"null"}), "snippet 1 is not a JSON object"},
    });
}

TEST(DecodeSnippetsFailure, UnknownEnumerationStrings) {
    expectFailures({
        {"lower-case instant",
         array({object(snippetFields()),
                object(with(snippetFields(), "triggerMode", "\"instant\""))}),
         "snippet 2: \"triggerMode\" has the unknown value \"instant\""},
        {"camel case",
         documentWithThirdSnippet(with(snippetFields(), "triggerMode", "\"afterDelimiter\"")),
         "snippet 3: \"triggerMode\" has the unknown value \"afterDelimiter\""},
        {"empty", documentWithThirdSnippet(with(snippetFields(), "triggerMode", "\"\"")),
         "snippet 3: \"triggerMode\" has the unknown value \"\""},
        {"step type lower case", documentWithSecondStep(with(stepFields(), "type", "\"wait\"")),
         "snippet 1, step 2: \"type\" has the unknown value \"wait\""},
        {"step type camel case", documentWithSecondStep(with(stepFields(), "type", "\"typeText\"")),
         "snippet 1, step 2: \"type\" has the unknown value \"typeText\""},
        {"long value is cut",
         documentWithThirdSnippet(
             with(snippetFields(), "triggerMode", "\"" + std::string(100, 'x') + "\"")),
         "snippet 3: \"triggerMode\" has the unknown value \"" + std::string(40, 'x') + "\"…"},
    });
}

TEST(DecodeSnippetsFailure, BadUuids) {
    expectFailures({
        {"snippet id", documentWithThirdSnippet(with(snippetFields(), "id", "\"not-a-uuid\"")),
         "snippet 3: \"id\" is not a UUID: \"not-a-uuid\""},
        {"snippet id without hyphens",
         documentWithThirdSnippet(
             with(snippetFields(), "id", "\"E621E1F8C36C495A93FC0C247A3E6E5F\"")),
         "snippet 3: \"id\" is not a UUID: \"E621E1F8C36C495A93FC0C247A3E6E5F\""},
        {"step id", documentWithSecondStep(with(stepFields(), "id", "\"\"")),
         "snippet 1, step 2: \"id\" is not a UUID: \"\""},
    });
}

TEST(DecodeSnippetsFailure, EveryStepKeyMissing) {
    std::vector<FailureCase> cases;
    for (const char* key : {"id", "type", "text", "keyCode", "modifiers", "milliseconds"}) {
        cases.push_back({key, documentWithSecondStep(without(stepFields(), key)),
                         std::string("snippet 1, step 2: missing key \"") + key + "\""});
    }
    // A Wait step uses none of text, keyCode and modifiers, and still needs them.
    cases.push_back(
        {"wait without text",
         documentWithSecondStep(without(with(stepFields(), "type", "\"Wait\""), "text")),
         "snippet 1, step 2: missing key \"text\""});
    expectFailures(cases);
}

TEST(DecodeSnippetsFailure, StepValuesOfTheWrongType) {
    const Fields f = stepFields();
    expectFailures({
        {"keyCode string", documentWithSecondStep(with(f, "keyCode", "\"36\"")),
         "snippet 1, step 2: \"keyCode\" is not an integer"},
        {"text null", documentWithSecondStep(with(f, "text", "null")),
         "snippet 1, step 2: \"text\" is not a string"},
        {"type null", documentWithSecondStep(with(f, "type", "null")),
         "snippet 1, step 2: \"type\" is not a string"},
        {"modifiers null", documentWithSecondStep(with(f, "modifiers", "null")),
         "snippet 1, step 2: \"modifiers\" is not an integer"},
        {"milliseconds fraction", documentWithSecondStep(with(f, "milliseconds", "0.5")),
         "snippet 1, step 2: \"milliseconds\" is not an integer"},
        {"step not an object", array({object(snippetFields({object(f), "\"Wait\""}))}),
         "snippet 1, step 2 is not a JSON object"},
    });
}

TEST(DecodeSnippetsFailure, IntegersOutsideTheirRange) {
    const Fields f = stepFields();
    const Fields s = snippetFields();
    expectFailures({
        {"negative modifiers", documentWithSecondStep(with(f, "modifiers", "-1")),
         "snippet 1, step 2: \"modifiers\" is negative"},
        {"negative hotkey modifiers",
         documentWithThirdSnippet(with(s, "hotkeyModifiers", "-524288")),
         "snippet 3: \"hotkeyModifiers\" is negative"},
        {"fractional modifiers", documentWithSecondStep(with(f, "modifiers", "1.5")),
         "snippet 1, step 2: \"modifiers\" is not an integer"},
        {"fractional hotkey key code", documentWithThirdSnippet(with(s, "hotkeyKeyCode", "46.5")),
         "snippet 3: \"hotkeyKeyCode\" is not an integer"},
        {"modifiers beyond 64 bits",
         documentWithSecondStep(with(f, "modifiers", "18446744073709551616")),
         "snippet 1, step 2: \"modifiers\" is beyond the unsigned 64-bit range"},
        {"key code beyond signed 64 bits",
         documentWithSecondStep(with(f, "keyCode", "9223372036854775808")),
         "snippet 1, step 2: \"keyCode\" is beyond the 64-bit range"},
        {"key code below signed 64 bits",
         documentWithSecondStep(with(f, "keyCode", "-9223372036854775809")),
         "snippet 1, step 2: \"keyCode\" is beyond the 64-bit range"},
        {"milliseconds huge exponent", documentWithSecondStep(with(f, "milliseconds", "1e30")),
         "snippet 1, step 2: \"milliseconds\" is beyond the 64-bit range"},
    });
}

TEST(DecodeSnippetsFailure, TheDocumentIsNotAnArray) {
    for (const char* json : {"{}", "null", "\"[]\"", "42", "true"}) {
        SCOPED_TRACE(json);
        EXPECT_EQ(decodeError(json), "the document is not a JSON array");
    }
    EXPECT_EQ(decodeError(object(snippetFields())), "the document is not a JSON array");
}

TEST(DecodeSnippetsFailure, SyntaxErrorsSayWhere) {
    const std::string cases[] = {
        "",      "[",          R"([{"id": tru}])", "[1,]",
        "[] []", "[\"\xFF\"]", "[\"unterminated]", "[/* comment */]",
    };
    for (const auto& json : cases) {
        SCOPED_TRACE(json);
        const std::string error = decodeError(json);
        EXPECT_TRUE(error.starts_with("invalid JSON at byte ")) << error;
        EXPECT_EQ(error.find("json.exception"), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(error.find('\xFF'), std::string::npos) << error;
    }
    EXPECT_EQ(decodeError(R"([{"id": tru}])"),
              R"(invalid JSON at byte 12: invalid literal; last read: '"id": tru}')");
    EXPECT_EQ(decodeError("[1,]"),
              "invalid JSON at byte 4: unexpected ']'; expected '[', '{', or a literal");
}

TEST(DecodeSnippetsFailure, DeepNestingIsRefusedBeforeParsing) {
    EXPECT_EQ(decodeError(std::string(65, '[') + std::string(65, ']')),
              "the document is nested too deeply");
    EXPECT_EQ(decodeError(std::string(1'000'000, '[')), "the document is nested too deeply");
    EXPECT_EQ(decodeError("[" + std::string(100'000, '{')), "the document is nested too deeply");
    // Deep but within the limit: the structure is read and found wrong, not refused.
    EXPECT_EQ(decodeError(std::string(64, '[') + std::string(64, ']')),
              "snippet 1 is not a JSON object");
    // Extra keys may nest as deep as the limit allows: four levels of the format, sixty more.
    const std::string deepExtra = std::string(60, '[') + std::string(60, ']');
    EXPECT_EQ(decodeOrFail(
                  array({object(with(
                      snippetFields({object(with(stepFields(), "extra", deepExtra))}), "x", "1"))}))
                  .size(),
              1u);
}

// A key of the format given twice leaves it open which value the user meant, and reading one
// would drop the other from the file at the next save: both readers refuse the document and say
// where. Keys the format does not have are ignored, however often they come.
TEST(DecodeSnippetsFailure, AKeyOfTheFormatGivenTwice) {
    const auto twice = [](Fields fields, const std::string& key, const std::string& value) {
        fields.emplace_back(key, value);
        return fields;
    };
    const Fields s = snippetFields();
    const Fields f = stepFields();
    const struct {
        const char* name;
        std::string json;
        std::optional<std::string> error; // none: the document loads
    } cases[] = {
        {"shortcut with another value", documentWithThirdSnippet(twice(s, "shortcut", "\"b\"")),
         "snippet 3: \"shortcut\" is given twice"},
        {"the same value again", documentWithThirdSnippet(twice(s, "isEnabled", "true")),
         "snippet 3: \"isEnabled\" is given twice"},
        {"an optional key, once null",
         documentWithThirdSnippet(twice(with(s, "hotkeyKeyCode", "null"), "hotkeyKeyCode", "46")),
         "snippet 3: \"hotkeyKeyCode\" is given twice"},
        {"macro steps", documentWithThirdSnippet(twice(s, "macroSteps", "[]")),
         "snippet 3: \"macroSteps\" is given twice"},
        {"a step's key", documentWithSecondStep(twice(f, "milliseconds", "5")),
         "snippet 1, step 2: \"milliseconds\" is given twice"},
        {"after a snippet with another fault",
         array({object(without(s, "id")), object(twice(s, "id", "\"x\""))}),
         "snippet 1: missing key \"id\""},
        {"before a snippet with another fault",
         array({object(twice(s, "replacement", "\"x\"")), object(without(s, "id"))}),
         "snippet 1: \"replacement\" is given twice"},
        {"before another fault of the same snippet",
         documentWithThirdSnippet(twice(without(s, "id"), "blockedApps", "[]")),
         "snippet 3: \"blockedApps\" is given twice"},
        {"a key the format does not have",
         documentWithThirdSnippet(twice(twice(s, "x", "1"), "x", "2")), std::nullopt},
        {"a step's key in a snippet",
         documentWithThirdSnippet(twice(twice(s, "type", "1"), "type", "2")), std::nullopt},
        {"inside a value that is ignored",
         documentWithThirdSnippet(with(s, "extra", object({{"id", "1"}, {"id", "2"}}))),
         std::nullopt},
        {"in an object that is no snippet", object({{"id", "1"}, {"id", "2"}}),
         "the document is not a JSON array"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& result : {decodeSnippets(c.json), decodeSnippetsThroughTree(c.json)}) {
            if (c.error) {
                ASSERT_TRUE(std::holds_alternative<DecodeError>(result));
                EXPECT_EQ(std::get<DecodeError>(result).description, *c.error);
            } else {
                ASSERT_TRUE(std::holds_alternative<std::vector<Snippet>>(result))
                    << std::get<DecodeError>(result).description;
                EXPECT_EQ(std::get<std::vector<Snippet>>(result).size(), 3u);
            }
        }
    }
}

TEST(DecodeSnippetsFailure, BracketsInsideStringsDoNotCountAsNesting) {
    const std::string json =
        array({object(with(snippetFields(), "shortcut",
                           "\"\\\"\\\\" + std::string(500, '[') + std::string(500, '{') + "\""))});
    const auto snippets = decodeOrFail(json);
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_EQ(snippets[0].shortcut, "\"\\" + std::string(500, '[') + std::string(500, '{'));
}

} // namespace
} // namespace quillo::model
