// Reading the key scripts of the dry run.
#include "main/KeyScript.h"

#include "support/EngineFixture.h"

#include <gtest/gtest.h>

namespace quillo::main {
namespace {

namespace flag = platform::flag;
namespace key = platform::key;

struct ScriptCase {
    const char* name;
    std::string script;
    // Each key-down as (key code, flags, UTF-16 text), or a pause as (-1, milliseconds, "").
    std::vector<std::tuple<int, std::uint64_t, std::u16string>> steps;
};

class ScriptTable : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptTable, Reads) {
    const auto& c = GetParam();
    auto parsed = parseKeyScript(c.script);
    ASSERT_TRUE(std::holds_alternative<std::vector<KeyScriptStep>>(parsed))
        << std::get<KeyScriptError>(parsed).description;
    const auto& steps = std::get<std::vector<KeyScriptStep>>(parsed);
    ASSERT_EQ(steps.size(), c.steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& [code, flags, text] = c.steps[i];
        if (code < 0) {
            ASSERT_TRUE(std::holds_alternative<Pause>(steps[i])) << i;
            EXPECT_EQ(std::get<Pause>(steps[i]).duration.count(), static_cast<long>(flags));
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<KeyPress>(steps[i])) << i;
        const auto& event = std::get<KeyPress>(steps[i]).keyDown;
        EXPECT_EQ(event.keyCode, code) << i;
        EXPECT_EQ(event.flags, flags) << i;
        EXPECT_EQ(event.textView(), text) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    KeyScript, ScriptTable,
    ::testing::Values(
        ScriptCase{"Letters", "oM", {{31, 0, u"o"}, {46, flag::shift, u"M"}}},
        ScriptCase{"NamedKeys",
                   "{Return}{Tab}{Space}{Backspace}{Left}",
                   {{key::returnKey, 0, u"\r"},
                    {key::tab, 0, u"\t"},
                    {key::space, 0, u" "},
                    {key::backspace, 0, u"\b"},
                    {key::leftArrow, 0, u"\uF702"}}},
        ScriptCase{"Combination",
                   "{ctrl+opt+m}{shift+cmd+b}{alt+Left}",
                   {{key::m, flag::control | flag::option, u""},
                    {11, flag::shift | flag::command, u"B"},
                    {key::leftArrow, flag::option, u"\uF702"}}},
        ScriptCase{"CombinationWithPunctuation",
                   "{cmd+,}{ctrl++}",
                   {{43, flag::command, u","}, {24, flag::control, u""}}},
        ScriptCase{
            "Braces", "{{x}}", {{33, flag::shift, u"{"}, {7, 0, u"x"}, {30, flag::shift, u"}"}}},
        ScriptCase{"Wait", "a{wait 250}b", {{0, 0, u"a"}, {-1, 250, u""}, {11, 0, u"b"}}},
        ScriptCase{"CharacterOffTheLayout",
                   "\u00e9\U0001F600",
                   {{0, 0, u"\u00e9"}, {0, 0, u"\U0001F600"}}}),
    testing::CaseName());

TEST(KeyScript, ClicksAndWindowChanges) {
    auto parsed = parseKeyScript("a{click}{click 3}{focus org.example.Editor}{focus}");
    ASSERT_TRUE(std::holds_alternative<std::vector<KeyScriptStep>>(parsed));
    const std::vector<KeyScriptStep> expected = {KeyPress{sim::usKeyboard::keyDownFor(U'a')},
                                                 Click{}, Click{3u},
                                                 FocusChange{"org.example.Editor"}, FocusChange{}};
    EXPECT_EQ(std::get<std::vector<KeyScriptStep>>(parsed), expected);
}

TEST(KeyScript, RejectsWhatItCannotRead) {
    for (const std::string script : {"{", "}", "{nonsense}", "{hyper+m}", "{ctrl+\u00e9}", "{wait}",
                                     "{wait -5}", "{wait 1.5}", "a{b", "{click -1}"}) {
        EXPECT_TRUE(std::holds_alternative<KeyScriptError>(parseKeyScript(script))) << script;
    }
}

} // namespace
} // namespace quillo::main
