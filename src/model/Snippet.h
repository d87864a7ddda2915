// The two value records that every part of the program exchanges: a snippet (one expansion
// rule) and a macro step (one action of a macro snippet).
#pragma once

#include "model/Uuid.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::model {

struct MacroStep {
    // The raw strings are the JSON form and the label shown to the user.
    enum class StepType { typeText, pressKey, wait };

    Uuid id;
    StepType type = StepType::typeText;
    std::string text;
    std::int64_t keyCode = 0;
    std::uint64_t modifiers = 0;
    std::int64_t milliseconds = 200;

    // A fresh step of the chosen type, as "+ Add Step" creates it.
    static MacroStep make(StepType type);

    bool operator==(const MacroStep&) const = default;
};

struct Snippet {
    enum class TriggerMode { afterDelimiter, instant, hotkey };

    Uuid id;
    std::string shortcut;
    std::string replacement;
    bool isEnabled = true;
    TriggerMode triggerMode = TriggerMode::afterDelimiter;
    std::vector<std::string> allowedApps;
    std::vector<std::string> blockedApps;
    // Key codes are 16-bit; a wider value can only come from an edited file and never matches.
    std::optional<std::int64_t> hotkeyKeyCode;
    std::optional<std::uint64_t> hotkeyModifiers;
    std::vector<MacroStep> macroSteps;

    // A fresh snippet with a new id, as the new-snippet sheet starts it.
    static Snippet make();

    bool isMacro() const { return !macroSteps.empty(); }
    bool operator==(const Snippet&) const = default;
};

// Whether one of the snippets is a hotkey snippet with exactly this combination (switched off or
// not: it keeps its hotkey either way).
bool hasHotkeySnippet(const std::vector<Snippet>& snippets, const platform::Hotkey& hotkey);

// Raw values, in declaration order.
std::string_view toString(Snippet::TriggerMode mode);
std::string_view toString(MacroStep::StepType type);
std::optional<Snippet::TriggerMode> triggerModeFromString(std::string_view text);
std::optional<MacroStep::StepType> stepTypeFromString(std::string_view text);
inline constexpr Snippet::TriggerMode allTriggerModes[] = {Snippet::TriggerMode::afterDelimiter,
                                                           Snippet::TriggerMode::instant,
                                                           Snippet::TriggerMode::hotkey};
inline constexpr MacroStep::StepType allStepTypes[] = {
    MacroStep::StepType::typeText, MacroStep::StepType::pressKey, MacroStep::StepType::wait};

// Hashes every field in field order; an optional feeds a presence flag and then its value, a
// list its count and then its elements.
std::size_t hashValue(const MacroStep& step);
std::size_t hashValue(const Snippet& snippet);

// The display text of a key combination: the modifier symbols in the fixed order ⌃⌥⇧⌘, then
// the key's name (⌃⌥M). Bits other than the four modifiers add nothing.
std::string keyComboString(std::int64_t keyCode, std::uint64_t modifiers,
                           const platform::KeyboardLayout& layout);
// The same combination in the words Linux users know: Ctrl, Alt, Shift, Super, then the key,
// joined by "+" (Ctrl+Alt+M); named keys are spelled out (Return, Tab, Left).
std::string keyComboText(std::int64_t keyCode, std::uint64_t modifiers,
                         const platform::KeyboardLayout& layout);
// The display name of one key: a symbol for the named keys, else the layout's text in upper
// case, else the code in parentheses.
std::string keyName(platform::KeyCode keyCode, const platform::KeyboardLayout& layout);

} // namespace quillo::model

template <>
struct std::hash<quillo::model::Snippet> {
    std::size_t operator()(const quillo::model::Snippet& s) const noexcept {
        return quillo::model::hashValue(s);
    }
};
template <>
struct std::hash<quillo::model::MacroStep> {
    std::size_t operator()(const quillo::model::MacroStep& s) const noexcept {
        return quillo::model::hashValue(s);
    }
};
