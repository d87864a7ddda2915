#include "model/Snippet.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <string>
#include <unordered_set>

namespace quillo::model {
namespace {

namespace flag = platform::flag;

// A few keys of a US layout, enough to name the keys the tests press.
class FakeKeyboardLayout : public platform::KeyboardLayout {
  public:
    std::u16string textForKey(platform::KeyCode keyCode) const override {
        static const std::map<platform::KeyCode, std::u16string> texts = {
            {46, u"m"}, {11, u"b"}, {8, u"c"}, {18, u"1"}, {42, u"\\"}, {99, u"é"}};
        const auto found = texts.find(keyCode);
        return found == texts.end() ? std::u16string() : found->second;
    }
    std::optional<platform::KeyCode> keyForNativeCodes(std::uint32_t,
                                                       std::uint32_t) const override {
        return std::nullopt;
    }
};

// ---------------------------------------------------------------------------------------------
// Raw values of the enumerations

TEST(TriggerMode, RawValuesInDeclarationOrder) {
    const std::vector<std::string_view> expected = {"After Delimiter", "Instant", "Hotkey"};
    ASSERT_EQ(std::size(allTriggerModes), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(toString(allTriggerModes[i]), expected[i]);
        EXPECT_EQ(triggerModeFromString(expected[i]), allTriggerModes[i]);
    }
}

TEST(TriggerMode, OnlyTheExactRawValuesAreRecognised) {
    for (const char* text : {"instant", "INSTANT", "after delimiter", "AfterDelimiter",
                             "afterDelimiter", "Hotkey ", " Hotkey", "hotkey", ""}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(triggerModeFromString(text));
    }
}

TEST(StepType, RawValuesInDeclarationOrder) {
    const std::vector<std::string_view> expected = {"Type Text", "Press Key", "Wait"};
    ASSERT_EQ(std::size(allStepTypes), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(toString(allStepTypes[i]), expected[i]);
        EXPECT_EQ(stepTypeFromString(expected[i]), allStepTypes[i]);
    }
}

TEST(StepType, OnlyTheExactRawValuesAreRecognised) {
    for (const char* text :
         {"wait", "WAIT", "type text", "TypeText", "typeText", "Press key", ""}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(stepTypeFromString(text));
    }
}

// ---------------------------------------------------------------------------------------------
// Equality and hashing

Snippet fullSnippet() {
    Snippet snippet;
    snippet.id = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    snippet.shortcut = "sig";
    snippet.replacement = "Best regards";
    snippet.isEnabled = true;
    snippet.triggerMode = Snippet::TriggerMode::hotkey;
    snippet.allowedApps = {"org.gnome.TextEditor", "kate"};
    snippet.blockedApps = {"org.keepassxc.KeePassXC"};
    snippet.hotkeyKeyCode = 46;
    snippet.hotkeyModifiers = 0xC0000;
    MacroStep step;
    step.id = *Uuid::parse("0F8FAD5B-D9CB-469F-A165-70867728950E");
    step.type = MacroStep::StepType::pressKey;
    step.text = "hello";
    step.keyCode = 36;
    step.modifiers = flag::command;
    step.milliseconds = 50;
    MacroStep wait = MacroStep::make(MacroStep::StepType::wait);
    wait.id = *Uuid::parse("7C9E6679-7425-40DE-944B-E07FC1F90AE7");
    snippet.macroSteps = {step, wait};
    return snippet;
}

TEST(SnippetEquality, AnyFieldThatDiffersMakesThemUnequalAndChangesTheHash) {
    const std::vector<std::pair<const char*, std::function<void(Snippet&)>>> changes = {
        {"id", [](Snippet& s) { s.id = Uuid::random(); }},
        {"shortcut", [](Snippet& s) { s.shortcut = "sig2"; }},
        {"replacement", [](Snippet& s) { s.replacement += "!"; }},
        {"isEnabled", [](Snippet& s) { s.isEnabled = false; }},
        {"triggerMode", [](Snippet& s) { s.triggerMode = Snippet::TriggerMode::instant; }},
        {"allowedApps item", [](Snippet& s) { s.allowedApps[1] = "gedit"; }},
        {"allowedApps count", [](Snippet& s) { s.allowedApps.pop_back(); }},
        {"blockedApps", [](Snippet& s) { s.blockedApps.clear(); }},
        {"app moved between lists",
         [](Snippet& s) {
             s.blockedApps.insert(s.blockedApps.begin(), s.allowedApps.back());
             s.allowedApps.pop_back();
         }},
        {"hotkeyKeyCode", [](Snippet& s) { s.hotkeyKeyCode = 47; }},
        {"hotkeyKeyCode absent", [](Snippet& s) { s.hotkeyKeyCode.reset(); }},
        {"hotkeyModifiers", [](Snippet& s) { s.hotkeyModifiers = 0x40000; }},
        {"hotkeyModifiers absent", [](Snippet& s) { s.hotkeyModifiers.reset(); }},
        {"hotkeyModifiers zero", [](Snippet& s) { s.hotkeyModifiers = 0; }},
        {"step removed", [](Snippet& s) { s.macroSteps.pop_back(); }},
        {"steps reordered", [](Snippet& s) { std::swap(s.macroSteps[0], s.macroSteps[1]); }},
        {"step id", [](Snippet& s) { s.macroSteps[0].id = Uuid::random(); }},
        {"step type", [](Snippet& s) { s.macroSteps[0].type = MacroStep::StepType::typeText; }},
        {"step text", [](Snippet& s) { s.macroSteps[0].text = "hellO"; }},
        {"step keyCode", [](Snippet& s) { s.macroSteps[0].keyCode = 37; }},
        {"step modifiers", [](Snippet& s) { s.macroSteps[0].modifiers |= flag::shift; }},
        {"step milliseconds", [](Snippet& s) { s.macroSteps[0].milliseconds = 51; }},
        {"text moved from the replacement to the shortcut",
         [](Snippet& s) {
             s.shortcut += "B";
             s.replacement.erase(0, 1);
         }},
    };
    const Snippet original = fullSnippet();
    std::unordered_set<std::size_t> hashes = {std::hash<Snippet>{}(original)};
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        Snippet changed = original;
        change(changed);
        EXPECT_NE(changed, original);
        EXPECT_NE(std::hash<Snippet>{}(changed), std::hash<Snippet>{}(original));
        EXPECT_TRUE(hashes.insert(std::hash<Snippet>{}(changed)).second);
    }
}

// ---------------------------------------------------------------------------------------------
// Display of key combinations

struct ComboCase {
    std::int64_t keyCode;
    std::uint64_t modifiers;
    const char* symbols;
    const char* words;
};

TEST(KeyComboString, ShowsModifierSymbolsInFixedOrderThenTheKey) {
    const FakeKeyboardLayout layout;
    const ComboCase cases[] = {
        {46, flag::control | flag::option, "⌃⌥M", "Ctrl+Alt+M"},
        {11, flag::shift | flag::command, "⇧⌘B", "Shift+Super+B"},
        {36, 0, "↩", "Return"},
        {49, flag::command, "⌘Space", "Super+Space"},
        {8, flag::command | flag::shift | flag::option | flag::control, "⌃⌥⇧⌘C",
         "Ctrl+Alt+Shift+Super+C"},
        {8, flag::command | flag::control, "⌃⌘C", "Ctrl+Super+C"},
        {48, flag::shift, "⇧⇥", "Shift+Tab"},
        {51, flag::option, "⌥⌫", "Alt+Backspace"},
        {53, 0, "⎋", "Escape"},
        {123, flag::command, "⌘←", "Super+Left"},
        {124, 0, "→", "Right"},
        {125, 0, "↓", "Down"},
        {126, 0, "↑", "Up"},
        {18, flag::control, "⌃1", "Ctrl+1"},
        {42, 0, "\\", "\\"},
        {99, 0, "É", "É"},
        // Only bits other than the four modifiers: Caps Lock, numeric pad, function.
        {46, flag::capsLock | flag::numericPad | flag::function | 0x1, "M", "M"},
        {46, std::numeric_limits<std::uint64_t>::max(), "⌃⌥⇧⌘M", "Ctrl+Alt+Shift+Super+M"},
        // The layout gives nothing for these keys.
        {200, 0, "(200)", "(200)"},
        {0, flag::command, "⌘(0)", "Super+(0)"},
        // Codes that no key has can only come from an edited file; they show, not fail.
        {70000, flag::command, "⌘(70000)", "Super+(70000)"},
        {-1, 0, "(-1)", "(-1)"},
        {std::numeric_limits<std::int64_t>::min(), flag::control, "⌃(-9223372036854775808)",
         "Ctrl+(-9223372036854775808)"},
        {std::numeric_limits<std::int64_t>::max(), 0, "(9223372036854775807)",
         "(9223372036854775807)"},
        {65536 + 46, 0, "(65582)", "(65582)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keyCode << " / 0x" << std::hex << c.modifiers);
        EXPECT_EQ(keyComboString(c.keyCode, c.modifiers, layout), c.symbols);
        EXPECT_EQ(keyComboText(c.keyCode, c.modifiers, layout), c.words);
    }
}

TEST(KeyName, NamedKeysHaveSymbolsOthersTheLayoutTextInUpperCase) {
    const FakeKeyboardLayout layout;
    const std::pair<platform::KeyCode, const char*> cases[] = {
        {36, "↩"},  {48, "⇥"},  {49, "Space"}, {51, "⌫"},  {53, "⎋"},          {123, "←"},
        {124, "→"}, {125, "↓"}, {126, "↑"},    {46, "M"},  {11, "B"},          {8, "C"},
        {18, "1"},  {99, "É"},  {7, "(7)"},    {0, "(0)"}, {65535, "(65535)"},
    };
    for (const auto& [keyCode, name] : cases) {
        SCOPED_TRACE(keyCode);
        EXPECT_EQ(keyName(keyCode, layout), name);
    }
}

} // namespace
} // namespace quillo::model
