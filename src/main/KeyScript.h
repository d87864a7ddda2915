// The key script of `quillo simulate`: what a user types, written as text. Every Unicode
// scalar is one key press that types it; braces name keys, combinations and pauses.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillo::main {

struct KeyPress {
    platform::KeyEvent keyDown;
    bool operator==(const KeyPress&) const = default;
};

struct Pause {
    std::chrono::milliseconds duration;
    bool operator==(const Pause&) const = default;
};

// A click in the field; it moves the insertion point to a character when one is given, else to
// the end of the text.
struct Click {
    std::optional<std::size_t> character;
    bool operator==(const Click&) const = default;
};

// The keyboard focus going to a window of another application (none: one without an id).
struct FocusChange {
    std::optional<std::string> applicationId;
    bool operator==(const FocusChange&) const = default;
};

using KeyScriptStep = std::variant<KeyPress, Pause, Click, FocusChange>;

struct KeyScriptError {
    std::string description;
};

// {Return} {Tab} {Space} {Backspace} {Escape} {Left} {Right} {Up} {Down} {ForwardDelete};
// {MODS+KEY} with MODS among ctrl, opt (alt), shift, cmd; {wait MS}; {click}, {click N};
// {focus APP-ID}, {focus}; {{ and }} for braces.
std::variant<std::vector<KeyScriptStep>, KeyScriptError> parseKeyScript(std::string_view script);

} // namespace quillo::main
