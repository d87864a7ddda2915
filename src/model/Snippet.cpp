#include "model/Snippet.h"

#include "unicode/UnicodeText.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quillo::model {

namespace {

// One running hash that every field is fed into, so that equal values hash equal and a change
// anywhere (including moving text between two adjacent strings) changes the result.
class Hasher {
  public:
    void bytes(const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            state_ = (state_ ^ p[i]) * 0x100000001B3ULL;
        }
    }
    void integer(std::uint64_t value) { bytes(&value, sizeof value); }
    void integer(std::int64_t value) { integer(static_cast<std::uint64_t>(value)); }
    void boolean(bool value) { integer(std::uint64_t{value ? 1u : 0u}); }
    // The length goes first so that "ab"+"c" and "a"+"bc" differ.
    void text(std::string_view value) {
        integer(std::uint64_t{value.size()});
        bytes(value.data(), value.size());
    }
    void uuid(const Uuid& value) { bytes(value.bytes().data(), value.bytes().size()); }
    template <typename T>
    void optional(const std::optional<T>& value) {
        boolean(value.has_value());
        if (value) {
            integer(*value);
        }
    }
    void texts(const std::vector<std::string>& values) {
        integer(std::uint64_t{values.size()});
        for (const auto& value : values) {
            text(value);
        }
    }
    void step(const MacroStep& s) {
        uuid(s.id);
        text(toString(s.type));
        text(s.text);
        integer(s.keyCode);
        integer(s.modifiers);
        integer(s.milliseconds);
    }

    std::size_t result() const {
        // FNV alone leaves the low bits weak for power-of-two bucket counts; a final mix fixes it.
        std::uint64_t x = state_;
        x ^= x >> 33;
        x *= 0xFF51AFD7ED558CCDULL;
        x ^= x >> 33;
        x *= 0xC4CEB9FE1A85EC53ULL;
        x ^= x >> 33;
        return static_cast<std::size_t>(x);
    }

  private:
    std::uint64_t state_ = 0xCBF29CE484222325ULL;
};

struct Modifier {
    platform::EventFlags bit;
    std::string_view symbol;
    std::string_view word;
};

// The fixed display order, whatever order the keys were pressed in.
constexpr Modifier modifiers[] = {
    {platform::flag::control, "⌃", "Ctrl"},
    {platform::flag::option, "⌥", "Alt"},
    {platform::flag::shift, "⇧", "Shift"},
    {platform::flag::command, "⌘", "Super"},
};

struct NamedKey {
    platform::KeyCode keyCode;
    std::string_view symbol;
    std::string_view word;
};

// Keys that give no printable text, or whose text would be invisible.
constexpr NamedKey namedKeys[] = {
    {platform::key::returnKey, "↩", "Return"}, {platform::key::tab, "⇥", "Tab"},
    {platform::key::space, "Space", "Space"},  {platform::key::backspace, "⌫", "Backspace"},
    {platform::key::escape, "⎋", "Escape"},    {platform::key::leftArrow, "←", "Left"},
    {platform::key::rightArrow, "→", "Right"}, {platform::key::downArrow, "↓", "Down"},
    {platform::key::upArrow, "↑", "Up"},
};

std::string codeInParentheses(std::int64_t keyCode) {
    return "(" + std::to_string(keyCode) + ")";
}

const NamedKey* findNamedKey(platform::KeyCode keyCode) {
    for (const auto& named : namedKeys) {
        if (named.keyCode == keyCode) {
            return &named;
        }
    }
    return nullptr;
}

std::string layoutKeyName(platform::KeyCode keyCode, const platform::KeyboardLayout& layout) {
    const std::u16string text = layout.textForKey(keyCode);
    if (text.empty()) {
        return codeInParentheses(keyCode);
    }
    return unicode::toUpper(unicode::toUtf8(text));
}

// Codes outside the 16-bit range can only come from an edited file; they are shown, not refused.
std::optional<platform::KeyCode> asKeyCode(std::int64_t keyCode) {
    if (keyCode < 0 || keyCode > std::numeric_limits<platform::KeyCode>::max()) {
        return std::nullopt;
    }
    return static_cast<platform::KeyCode>(keyCode);
}

} // namespace

MacroStep MacroStep::make(StepType type) {
    MacroStep step;
    step.id = Uuid::random();
    step.type = type;
    return step;
}

Snippet Snippet::make() {
    Snippet snippet;
    snippet.id = Uuid::random();
    return snippet;
}

std::string_view toString(Snippet::TriggerMode mode) {
    switch (mode) {
    case Snippet::TriggerMode::afterDelimiter:
        return "After Delimiter";
    case Snippet::TriggerMode::instant:
        return "Instant";
    case Snippet::TriggerMode::hotkey:
        return "Hotkey";
    }
    return {};
}

std::string_view toString(MacroStep::StepType type) {
    switch (type) {
    case MacroStep::StepType::typeText:
        return "Type Text";
    case MacroStep::StepType::pressKey:
        return "Press Key";
    case MacroStep::StepType::wait:
        return "Wait";
    }
    return {};
}

std::optional<Snippet::TriggerMode> triggerModeFromString(std::string_view text) {
    for (const auto mode : allTriggerModes) {
        if (toString(mode) == text) {
            return mode;
        }
    }
    return std::nullopt;
}

std::optional<MacroStep::StepType> stepTypeFromString(std::string_view text) {
    for (const auto type : allStepTypes) {
        if (toString(type) == text) {
            return type;
        }
    }
    return std::nullopt;
}

std::size_t hashValue(const MacroStep& step) {
    Hasher hasher;
    hasher.step(step);
    return hasher.result();
}

std::size_t hashValue(const Snippet& snippet) {
    Hasher hasher;
    hasher.uuid(snippet.id);
    hasher.text(snippet.shortcut);
    hasher.text(snippet.replacement);
    hasher.boolean(snippet.isEnabled);
    hasher.text(toString(snippet.triggerMode));
    hasher.texts(snippet.allowedApps);
    hasher.texts(snippet.blockedApps);
    hasher.optional(snippet.hotkeyKeyCode);
    hasher.optional(snippet.hotkeyModifiers);
    hasher.integer(std::uint64_t{snippet.macroSteps.size()});
    for (const auto& step : snippet.macroSteps) {
        hasher.step(step);
    }
    return hasher.result();
}

std::string keyComboString(std::int64_t keyCode, std::uint64_t modifierMask,
                           const platform::KeyboardLayout& layout) {
    std::string text;
    for (const auto& modifier : modifiers) {
        if (modifierMask & modifier.bit) {
            text += modifier.symbol;
        }
    }
    const auto code = asKeyCode(keyCode);
    text += code ? keyName(*code, layout) : codeInParentheses(keyCode);
    return text;
}

std::string keyComboText(std::int64_t keyCode, std::uint64_t modifierMask,
                         const platform::KeyboardLayout& layout) {
    std::string text;
    for (const auto& modifier : modifiers) {
        if (modifierMask & modifier.bit) {
            text += modifier.word;
            text += '+';
        }
    }
    const auto code = asKeyCode(keyCode);
    if (!code) {
        text += codeInParentheses(keyCode);
    } else if (const auto* named = findNamedKey(*code)) {
        text += named->word;
    } else {
        text += layoutKeyName(*code, layout);
    }
    return text;
}

std::string keyName(platform::KeyCode keyCode, const platform::KeyboardLayout& layout) {
    if (const auto* named = findNamedKey(keyCode)) {
        return std::string(named->symbol);
    }
    return layoutKeyName(keyCode, layout);
}

bool hasHotkeySnippet(const std::vector<Snippet>& snippets, const platform::Hotkey& hotkey) {
    return std::ranges::any_of(snippets, [&hotkey](const Snippet& s) {
        return s.triggerMode == Snippet::TriggerMode::hotkey && s.hotkeyKeyCode == hotkey.keyCode &&
               s.hotkeyModifiers == hotkey.modifiers;
    });
}

} // namespace quillo::model
