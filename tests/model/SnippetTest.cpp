#include "model/Snippet.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <string>

namespace quillo::model {
namespace {

namespace flag = platform::flag;

// A few keys of a US layout, enough to name the keys the tests press.
class FakeKeyboardLayout : public platform::KeyboardLayout {
  public:
    std::u16string textForKey(platform::KeyCode keyCode) const override {
        static const std::map<platform::KeyCode, std::u16string> texts = {
            {46, u"m"}, {8, u"c"}, {18, u"1"}, {42, u"\\"}, {99, u"é"}};
        const auto found = texts.find(keyCode);
        return found == texts.end() ? std::u16string() : found->second;
    }
    std::optional<platform::KeyCode> keyForNativeCodes(std::uint32_t,
                                                       std::uint32_t) const override {
        return std::nullopt;
    }
};

// Hashing feeds every field in; a change anywhere, even text moved from one string to the next,
// must change the hash.
TEST(SnippetHash, AnyFieldThatDiffersMakesThemUnequalAndChangesTheHash) {
    Snippet original = Snippet::make();
    original.shortcut = "sig";
    original.replacement = "Best regards";
    original.allowedApps = {"kate", "gedit"};
    original.hotkeyKeyCode = 46;
    original.hotkeyModifiers = 0xC0000;
    original.macroSteps = {MacroStep::make(MacroStep::StepType::pressKey),
                           MacroStep::make(MacroStep::StepType::wait)};
    const std::pair<const char*, std::function<void(Snippet&)>> changes[] = {
        {"id", [](Snippet& s) { s.id = Uuid::random(); }},
        {"replacement", [](Snippet& s) { s.replacement += "!"; }},
        {"isEnabled", [](Snippet& s) { s.isEnabled = false; }},
        {"triggerMode", [](Snippet& s) { s.triggerMode = Snippet::TriggerMode::instant; }},
        {"app moved",
         [](Snippet& s) { s.blockedApps.push_back("gedit"), s.allowedApps.pop_back(); }},
        {"hotkeyKeyCode absent", [](Snippet& s) { s.hotkeyKeyCode.reset(); }},
        {"hotkeyModifiers zero", [](Snippet& s) { s.hotkeyModifiers = 0; }},
        {"hotkeyModifiers absent", [](Snippet& s) { s.hotkeyModifiers.reset(); }},
        {"steps reordered", [](Snippet& s) { std::swap(s.macroSteps[0], s.macroSteps[1]); }},
        {"step type", [](Snippet& s) { s.macroSteps[0].type = MacroStep::StepType::typeText; }},
        {"step text", [](Snippet& s) { s.macroSteps[0].text = "a"; }},
        {"step keyCode", [](Snippet& s) { s.macroSteps[0].keyCode = 37; }},
        {"step modifiers", [](Snippet& s) { s.macroSteps[0].modifiers |= flag::shift; }},
        {"step milliseconds", [](Snippet& s) { s.macroSteps[0].milliseconds = 51; }},
        {"text moved", [](Snippet& s) { s.shortcut += "B", s.replacement.erase(0, 1); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        Snippet changed = original;
        change(changed);
        EXPECT_NE(changed, original);
        EXPECT_NE(std::hash<Snippet>{}(changed), std::hash<Snippet>{}(original));
    }
}

TEST(KeyComboString, ShowsModifiersInFixedOrderThenTheKey) {
    const FakeKeyboardLayout layout;
    const struct {
        std::int64_t keyCode;
        std::uint64_t modifiers;
        const char* symbols;
        const char* words;
    } cases[] = {
        {46, flag::control | flag::option, "⌃⌥M", "Ctrl+Alt+M"},
        {8, flag::command | flag::shift | flag::option | flag::control, "⌃⌥⇧⌘C",
         "Ctrl+Alt+Shift+Super+C"},
        {36, 0, "↩", "Return"},
        {49, flag::command, "⌘Space", "Super+Space"},
        {48, flag::shift, "⇧⇥", "Shift+Tab"},
        {123, flag::command, "⌘←", "Super+Left"},
        {18, flag::control, "⌃1", "Ctrl+1"},
        {42, 0, "\\", "\\"},
        {99, 0, "É", "É"},
        // Bits other than the four modifiers (Caps Lock, numeric pad, function) add nothing.
        {46, flag::capsLock | flag::numericPad | flag::function | 0x1, "M", "M"},
        {46, std::numeric_limits<std::uint64_t>::max(), "⌃⌥⇧⌘M", "Ctrl+Alt+Shift+Super+M"},
        // The layout gives nothing for these keys.
        {200, 0, "(200)", "(200)"},
        {0, flag::command, "⌘(0)", "Super+(0)"},
        // Codes that no key has can only come from an edited file; they show, not fail. The
        // last one must not be cut down to key 46.
        {-1, 0, "(-1)", "(-1)"},
        {std::numeric_limits<std::int64_t>::min(), flag::control, "⌃(-9223372036854775808)",
         "Ctrl+(-9223372036854775808)"},
        {65536 + 46, 0, "(65582)", "(65582)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keyCode << " / 0x" << std::hex << c.modifiers);
        EXPECT_EQ(keyComboString(c.keyCode, c.modifiers, layout), c.symbols);
        EXPECT_EQ(keyComboText(c.keyCode, c.modifiers, layout), c.words);
    }
    EXPECT_EQ(keyName(65535, layout), "(65535)");
}

} // namespace
} // namespace quillo::model
