// Reading the key scripts of the dry run.
#include "main/KeyScript.h"

#include "support/EngineFixture.h"

#include <gtest/gtest.h>

namespace quillo::main {
namespace {

namespace flag = platform::flag;
namespace key = platform::key;
using namespace std::chrono_literals;

KeyScriptStep press(platform::KeyCode code, platform::EventFlags flags, std::u16string_view text) {
    platform::KeyEvent keyDown{.keyCode = code, .flags = flags};
    keyDown.setText(text);
    return KeyPress{keyDown};
}

TEST(KeyScript, ReadsKeysCombinationsPausesClicksAndWindowChanges) {
    const std::pair<std::string, std::vector<KeyScriptStep>> cases[] = {
        {"oM", {press(31, 0, u"o"), press(46, flag::shift, u"M")}},
        {"{Return}{Tab}{Space}{Backspace}{Left}",
         {press(key::returnKey, 0, u"\r"), press(key::tab, 0, u"\t"), press(key::space, 0, u" "),
          press(key::backspace, 0, u"\b"), press(key::leftArrow, 0, u"\uF702")}},
        {"{ctrl+opt+m}{shift+cmd+b}{alt+Left}",
         {press(key::m, flag::control | flag::option, u""),
          press(11, flag::shift | flag::command, u"B"),
          press(key::leftArrow, flag::option, u"\uF702")}},
        {"{cmd+,}{ctrl++}", {press(43, flag::command, u","), press(24, flag::control, u"")}},
        {"{{x}}", {press(33, flag::shift, u"{"), press(7, 0, u"x"), press(30, flag::shift, u"}")}},
        {"a{wait 250}b", {press(0, 0, u"a"), Pause{250ms}, press(11, 0, u"b")}},
        {"\u00e9\U0001F600", {press(0, 0, u"\u00e9"), press(0, 0, u"\U0001F600")}},
        {"a{click}{click 3}{focus org.example.Editor}{focus}",
         {press(0, 0, u"a"), Click{}, Click{3u}, FocusChange{"org.example.Editor"}, FocusChange{}}},
    };
    for (const auto& [script, expected] : cases) {
        SCOPED_TRACE(script);
        const auto parsed = parseKeyScript(script);
        ASSERT_TRUE(std::holds_alternative<std::vector<KeyScriptStep>>(parsed))
            << std::get<KeyScriptError>(parsed).description;
        EXPECT_EQ(std::get<std::vector<KeyScriptStep>>(parsed), expected);
    }
}

TEST(KeyScript, RejectsWhatItCannotRead) {
    for (const std::string script : {"{", "}", "{nonsense}", "{hyper+m}", "{ctrl+\u00e9}", "{wait}",
                                     "{wait -5}", "{wait 1.5}", "a{b", "{click -1}"}) {
        EXPECT_TRUE(std::holds_alternative<KeyScriptError>(parseKeyScript(script))) << script;
    }
}

} // namespace
} // namespace quillo::main
